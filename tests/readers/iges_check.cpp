// Independent check of an IGES file written by the program: OpenCASCADE's IGES reader loads it,
// reports no fail messages and transfers its geometry. Prints "<file> ENTITIES n" and "<file> SHAPES n"
// per file ("<file> ROOTS n" before the transfer: the entities it tries to transfer), and every fail
// message; exit 0 only when every file loaded without fails.
// Usage: iges_check file.igs ...
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

namespace {
// Reads one file; the number of fail messages.
int Check(const char* file) {
  IGESControl_Reader reader;
  if (reader.ReadFile(file) != IFSelect_RetDone) {
    std::cout << file << " FAIL file not read\n";
    return 1;
  }
  int fails = 0;
  auto report = [&](const Interface_CheckIterator& checks) {
    for (checks.Start(); checks.More(); checks.Next()) {
      const Handle(Interface_Check)& check = checks.Value();
      for (int i = 1; i <= check->NbFails(); ++i) {
        std::cout << file << " FAIL " << check->CFail(i) << "\n";
        ++fails;
      }
    }
  };
  report(reader.WS()->ModelCheckList());
  const Handle(IGESData_IGESModel) model = reader.IGESModel();
  std::cout << file << " ENTITIES " << model->NbEntities() << "\n";
  // Every root must give a shape: a root the reader cannot take vanishes on import.
  std::cout << file << " ROOTS " << reader.NbRootsForTransfer() << "\n";
  reader.TransferRoots();
  report(reader.WS()->ModelCheckList());
  std::cout << file << " SHAPES " << reader.NbShapes() << "\n";
  return fails;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: iges_check file.igs ...\n";
    return 2;
  }
  // Quiet reader: only what this program prints counts.
  Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_Printer));
  int fails = 0;
  for (int i = 1; i < argc; ++i) fails += Check(argv[i]);
  return fails == 0 ? 0 : 1;
}
