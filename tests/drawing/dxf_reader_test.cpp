// A DXF written through every primitive, with blocks, nested inserts and user block files, checked by
// an independent reader (ezdxf): it must load and its audit must report no errors.
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>

#include "cadtest.h"
#include "support/readers.h"
#include "framework/utilmath.h"
#include "platform/process.h"

namespace qern::test {
namespace {

// Every primitive and structure call once, blocks nested three deep.
void EveryPrimitive() {
  CadSetPen(0);
  CadBeginDrawing(-2, -5, 422, 305);
  CadTables();
  CadBeginBlocks();
  CadBeginBlock("zahn1");
  CadSetPen(5);
  CadPolylineBegin(0);
  CadVertex(-2, 10, -0.3L);
  CadVertex(-1, 5, 0);
  CadVertex(1, 5, 0.4L);
  CadVertex(2, 10, 0);
  CadPolylineEnd();
  CadLine(0, 0, 0, 12);
  CadEndBlock();
  CadBeginBlock("rad1");
  for (int i = 1; i <= 12; ++i) CadInsertBlock("ZAHN1", 0, 0, 30.0L * i, 1, 1);
  CadSetPen(1);
  CadCircle(0, 0, 8);
  CadEndBlock();
  CadBeginBlock("TABELLE");
  CadSetPen(4);
  CadSetTextStyle(2, 0, 3.5L, 2.5L);
  CadText("Zähnezahl ± 0,05 °", 1, 1);
  CadSolid(0, 0, 5, 0, 0, 5, 5, 5);
  CadInsertBlock("rad1", 50, 50, 0, 0.5L, 0.5L);
  CadEndBlock();
  CadEndSection();

  CadBeginEntities();
  CadInsertBlock("RAD1", 100, 100, 15, 2, 2);
  CadInsertBlock("tabelle", 200, 50, 0, 1, 1);
  CadInsertBlock("WERKZ1", 250, 236, 0, 1, 1);  // never defined: skipped
  CadSetPen(2);
  CadArc(10, 10, 30, 120, 5);
  CadArc(10, 10, 0, 360, 4);
  CadSetPen(17);
  CadCircle(20, 20, 3);
  CadSetPen(8);
  CadRectangle(300, 10, 400, 60);
  CadHLine(300, 70, 10);
  CadVLine(300, 70, 10);
  CadHLineCentred(320, 80, 10);
  CadVLineCentred(320, 80, 10);
  CadSetTextStyle(2, 30, 2.5L, 0);
  CadMoveTo(300, 200);
  CadTextAtPen("Zeile 1");
  CadTextAtPen("Zeile 2");
  CadSetPen(0);
  CadSetSymbolScale(1);
  CadDimension("12.5", "", "", 40, 0, 40, 12.5L, 60);
  CadDimension("8", "0.05", "-0.05", 80, 0, 80, 8, 70);
  CadDimensionText("10", "+0.1", "-0.2", 0, 10, 90);
  CadArrow(150, 150, 45, 10, 5, 10);
  CadPolylineBegin(1);
  CadVertex(150, 10, 0);
  CadVertex(170, 10, Pi / 2);
  CadVertex(170, 30, 0);
  CadPolylineEnd();
  CadEndSection();
  SetPrintPreset(3);
}

// Runs the reader on file; its output and exit status.
std::string Audit(const std::string& file, int& status) {
  std::string out;
  status = RunReaderOutput(
      {"/usr/bin/python3", std::string(QERN_SOURCE_DATA) + "/../tests/readers/dxf_audit.py", file},
      out);
  return out;
}

#define SKIP_WITHOUT_READER(status) \
  if (ReaderAbsent(status, "ezdxf (python3-ezdxf)")) GTEST_SKIP() << "ezdxf missing"

class DxfReaderTest : public CadTest {};

TEST_F(DxfReaderTest, EveryPrimitiveLoadsAndAuditsClean) {
  Output(CadDeviceDxf, EveryPrimitive);
  int status = 0;
  const std::string out = Audit(tmp_.File("out.dxf"), status);
  SKIP_WITHOUT_READER(status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
  EXPECT_NE(out.find("BLOCKS TABELLE rad1 zahn1"), std::string::npos) << out;
  EXPECT_NE(out.find("INSERT=2"), std::string::npos) << out;
  EXPECT_NE(out.find("POLYLINE=1"), std::string::npos) << out;
  EXPECT_EQ(Errors.ErrorList[0], "Blockname WERKZ1 not found !");

  // The same drawing on the screen: every line the reader finds in the exploded inserts is drawn
  // there, at the same place, by the replay of the block files.
  DisplayList.clear();
  Output(CadDeviceScreen, EveryPrimitive);
  std::set<std::string> drawn;
  for (const DisplayRecord& r : DisplayList) {
    if (r.Code != RecLine) continue;
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.4f %.4f %.4f %.4f", r.Args[0], r.Args[1], r.Args[2],
                  r.Args[3]);
    drawn.insert(buf);
  }
  std::istringstream in(out);
  int exploded = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("XLINE ", 0) != 0) continue;
    ++exploded;
    const std::string coords = line.substr(line.find(' ', 6) + 1);
    EXPECT_TRUE(drawn.count(coords)) << line;
  }
  EXPECT_EQ(exploded, 2 * 12) << "the twelve teeth of rad1, inserted directly and inside TABELLE";
}

// The plot device with the frame and user block files: logo at the corner, a user block that
// inserts another user block; both become BLOCK definitions of the file.
TEST_F(DxfReaderTest, PlotFileWithUserBlocksAuditsClean) {
  WriteFileLines(tmp_.File("$LOGO_2.dx$"), {"  0", "LINE", "  8", "5", " 10", "0", " 20", "0",
                                            " 11", "10", " 21", "0", "  0", "INSERT", "  2",
                                            "mark", " 10", "5", " 20", "5", "  0", "EOF"});
  WriteFileLines(tmp_.File("$Mark.dx$"), {"  0", "CIRCLE", "  8", "1", " 10", "0", " 20", "0",
                                          " 40", "2", "  0", "EOF"});
  Settings.GravuraCommandLines[0] = tmp_.File("no-such-plot-program") + " gravura.dxf";
  Flags.PrintFrame = true;
  Output(CadDevicePlot, EveryPrimitive);
  int status = 0;
  const std::string out = Audit(tmp_.File("gravura.dxf"), status);
  SKIP_WITHOUT_READER(status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("BLOCKS LOGO_2 TABELLE rad1 zahn1"), std::string::npos) << out;
  EXPECT_NE(out.find("XLINE LOGO_2 383.8400 -1.9000 392.6733 -1.9000"), std::string::npos) << out;
  EXPECT_EQ(dialogs_->Messages().back(), "file not found");
}

}  // namespace
}  // namespace qern::test
