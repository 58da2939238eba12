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
  EXPECT_EQ(dialogs_->Messages().back(),
            "Programm " + tmp_.File("no-such-plot-program") + " nicht gefunden oder nicht ausführbar !");
}

}  // namespace
}  // namespace qern::test
