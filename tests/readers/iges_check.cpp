// Independent check of an IGES file written by the program: OpenCASCADE's IGES reader loads it,
// reports no fail messages and transfers its geometry. Prints "ENTITIES n" and "SHAPES n", and every
// fail message; exit 0 only when the file loaded without fails.
// Usage: iges_check file.igs
#include <IFSelect_ReturnStatus.hxx>
#include <IGESControl_Reader.hxx>
#include <IGESData_IGESModel.hxx>
#include <Interface_Check.hxx>
#include <Interface_CheckIterator.hxx>
#include <Message.hxx>
#include <Message_Gravity.hxx>
#include <Message_Messenger.hxx>
#include <TCollection_AsciiString.hxx>
#include <XSControl_WorkSession.hxx>

#include <iostream>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: iges_check file.igs\n";
    return 2;
  }
  // Quiet reader: only what this program prints counts.
  Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_Printer));
  IGESControl_Reader reader;
  if (reader.ReadFile(argv[1]) != IFSelect_RetDone) {
    std::cout << "FAIL file not read\n";
    return 1;
  }
  int fails = 0;
  auto report = [&](const Interface_CheckIterator& checks) {
    for (checks.Start(); checks.More(); checks.Next()) {
      const Handle(Interface_Check)& check = checks.Value();
      for (int i = 1; i <= check->NbFails(); ++i) {
        std::cout << "FAIL " << check->CFail(i) << "\n";
        ++fails;
      }
    }
  };
  report(reader.WS()->ModelCheckList());
  const Handle(IGESData_IGESModel) model = reader.IGESModel();
  std::cout << "ENTITIES " << model->NbEntities() << "\n";
  reader.TransferRoots();
  report(reader.WS()->ModelCheckList());
  std::cout << "SHAPES " << reader.NbShapes() << "\n";
  return fails == 0 ? 0 : 1;
}
