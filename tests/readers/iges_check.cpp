// Independent check of an IGES file written by the program: OpenCASCADE's IGES reader loads it,
// reports no fail messages and transfers its geometry. Prints "<file> ENTITIES n" and "<file> SHAPES n"
// per file ("<file> ROOTS n" before the transfer: the entities it tries to transfer), and every fail
// message; exit 0 only when every file loaded without fails. With --edges first, every edge of the
// shapes of the roots drawn (not of subfigure definitions no instance uses) follows as
// "<file> EDGE x1 y1 x2 y2" (its two ends, 4 decimals).
// Usage: iges_check [--edges] file.igs ...
#include <IFSelect_ReturnStatus.hxx>
#include <IGESControl_Reader.hxx>
#include <BRep_Tool.hxx>
#include <IGESData_IGESEntity.hxx>
#include <IGESData_IGESModel.hxx>
#include <TransferBRep.hxx>
#include <Transfer_TransientProcess.hxx>
#include <XSControl_TransferReader.hxx>
#include <Interface_Check.hxx>
#include <Interface_CheckIterator.hxx>
#include <Message.hxx>
#include <Message_Gravity.hxx>
#include <Message_Messenger.hxx>
#include <TCollection_AsciiString.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Edge.hxx>
#include <TopoDS_Vertex.hxx>
#include <gp_Pnt.hxx>
#include <XSControl_WorkSession.hxx>

#include <cstdio>
#include <cstring>
#include <iostream>

namespace {
// Reads one file; the number of fail messages.
bool g_edges = false;

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
  if (g_edges) {
    const Handle(Transfer_TransientProcess) process =
        reader.WS()->TransferReader()->TransientProcess();
    for (int i = 1; i <= reader.NbRootsForTransfer(); ++i) {
      const Handle(Standard_Transient) root = reader.RootForTransfer(i);
      const Handle(IGESData_IGESEntity) entity = Handle(IGESData_IGESEntity)::DownCast(root);
      if (!entity.IsNull() && entity->TypeNumber() == 308) continue;
      const TopoDS_Shape shape = TransferBRep::ShapeResult(process, root);
      if (shape.IsNull()) continue;
      for (TopExp_Explorer e(shape, TopAbs_EDGE); e.More(); e.Next()) {
        TopoDS_Vertex a, b;
        TopExp::Vertices(TopoDS::Edge(e.Current()), a, b, Standard_True);
        if (a.IsNull() || b.IsNull()) continue;
        const gp_Pnt p = BRep_Tool::Pnt(a), q = BRep_Tool::Pnt(b);
        char line[160];
        std::snprintf(line, sizeof line, " EDGE %.4f %.4f %.4f %.4f\n", p.X(), p.Y(), q.X(), q.Y());
        std::cout << file << line;
      }
    }
  }
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
  int first = 1;
  if (std::strcmp(argv[1], "--edges") == 0) g_edges = true, ++first;
  for (int i = first; i < argc; ++i) fails += Check(argv[i]);
  return fails == 0 ? 0 : 1;
}
