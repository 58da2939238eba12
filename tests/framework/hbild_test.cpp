// HP-GL picture reader: the commands of the subset, encoded polylines, labels and their code
// pages, and files that are cut short or broken.
#include "framework/hbild.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>

#include "framework/hbildvar.h"
#include "framework/progvar.h"
#include "framework/zorqdraw.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

using namespace qern;
using namespace qern::test;

namespace {

using Strings = std::vector<std::string>;

class PlotReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    device_ = std::make_unique<TDrawDevice>();
    DrawDevice = device_.get();
  }
  void TearDown() override { DrawDevice = nullptr; }
  // The records one piece of HP-GL draws.
  Strings Draw(std::string_view data) {
    DrawDevice->ClearDevice();
    DrawPlotData(data);
    return DisplayListText();
  }
  // Only the records of one code, their numbers rounded to 6 decimals.
  Strings Records(std::string_view data, int code) {
    Strings out;
    for (const auto& r : Draw(data)) {
      std::optional<DisplayRecord> rec = ParseDisplayRecord(r);
      if (!rec || rec->Code != code) continue;
      for (double& a : rec->Args) a = std::round(a * 1e6) / 1e6 + 0.0;
      out.push_back(rec->ToText());
    }
    return out;
  }
  std::unique_ptr<TDrawDevice> device_;
};

TEST_F(PlotReaderTest, PenMovesDrawLinesInMillimetresWithThePensColour) {
  EXPECT_EQ(Draw("SP1;PU0,0;PD400,0;"), (Strings{"8;12", "4;0;0;10;0"}));
  // A list of pairs, PA keeping the pen state, and P/A letters inside coordinates dropped.
  EXPECT_EQ(Records("SP2;PU40,40;PD80,40,80,80;PU;PA0,0;PD;PA40,0;", 4),
            (Strings{"4;1;1;2;1", "4;2;1;2;2", "4;0;0;1;0"}));
  // "SP;" selects pen 1, and every pen maps to its palette colour: 1 to 7 by the plotter's
  // table, 0 and the pens above 7 as they are.
  EXPECT_EQ(Records("SP3;PD4,0;SP;PD8,0;SP7;PD12,0;SP0;PD16,0;"
                    "SP9;PD20,0;SP8;PD24,0;SP15;PD28,0;SP16;PD32,0;",
                    8),
            (Strings{"8;10", "8;12", "8;15", "8;0", "8;9", "8;8", "8;15", "8;16"}));
  // A pen-up move draws nothing and a pair whose x ends the command does not move.
  EXPECT_EQ(Draw("SP1;PU400,0;PD;PU;"), Strings{});
  EXPECT_EQ(PlotState.PlotPenX, 10);
}

TEST_F(PlotReaderTest, CirclesAndArcs) {
  EXPECT_EQ(Records("SP1;PU400,400;CI200;", 3), (Strings{"3;10;10;5"}));
  // Quarter arc counter-clockwise from the pen about (0,0): 0 to 90 degrees; the pen stays.
  EXPECT_EQ(Records("SP1;PU400,0;PD;AA0,0,90;", 5), (Strings{"5;-10;-10;10;10;10;0;0;10"}));
  EXPECT_EQ(PlotState.PlotPenX, 10);
  // A negative sweep draws the arc clockwise from the pen: counter-clockwise from -90 to 0.
  EXPECT_EQ(Records("SP1;PU400,0;AA0,0,-90;", 5),
            (Strings{"5;-10;-10;10;10;0;-10;10;0"}));
  // A whole turn (either way) is a circle; no sweep draws nothing.
  EXPECT_EQ(Records("SP1;PU400,0;AA0,0,360;PU0,400;AA0,0,-720;", 3),
            (Strings{"3;0;0;10", "3;0;0;10"}));
  EXPECT_EQ(Draw("SP1;PU400,0;AA0,0,0;AA0,0;CI;"), (Strings{}));
}

TEST_F(PlotReaderTest, ExtraParametersAreSkippedToTheirTerminator) {
  // The chord angles of CI and AA, a second pen number, a third SI value: the command after each
  // one is still read.
  EXPECT_EQ(Records("SP1;PU400,400;CI200,5;PD800,400;AA400,400,90,5;PU;PD0,0;SP2,1;PD4,0;", 4),
            (Strings{"4;10;10;20;10", "4;20;10;0;0", "4;0;0;0.1;0"}));
  Draw("SI0.2,0.3,9;DI0,1,2;CS3,4;PU40,0;");
  EXPECT_EQ(PlotState.PlotCharHeight, 0.3L);
  EXPECT_EQ(PlotState.PlotDirRise, 1);
  EXPECT_EQ(PlotState.PlotCharSet, 3);
  EXPECT_EQ(PlotState.PlotPenX, 1);
  // Terminators between commands, blanks and line ends are passed over; unknown commands and
  // printer escapes are skipped to their ";".
  EXPECT_EQ(Records("\x1B" "E\x1B%0BIN;;SP1;\r\n  IP0,0,100,100; PU 0,0 ;;PD40,0;", 4),
            (Strings{"4;0;0;1;0"}));
}

TEST_F(PlotReaderTest, LabelsWithSizeDirectionAndCodePage) {
  EXPECT_EQ(Draw("SP1;SI0.2,0.3;DI0,1;PU400,800;LBWelle\x03PD400,0;"),
            (Strings{"8;12", "9;3;2;2;90", "6;10;20;Welle", "4;10;20;10;0"}));
  // Character set 3: "}" makes the vowel before it an umlaut; before other letters and at the
  // start it is dropped. Set 1 keeps it.
  EXPECT_EQ(Records("CS3;LBNabenfu}sse Zahnfla}che Ho}he M}}a}\x03", 6),
            (Strings{"6;0;0;Nabenfüsse Zahnfläche Höhe Mä"}));
  EXPECT_EQ(Records("CS1;LBo}\x03", 6), (Strings{"6;0;0;o}"}));
  // Label bytes are UTF-8 when valid, else code page 850; CR and LF inside are dropped.
  EXPECT_EQ(Records("LB\x94l\r\nma\xE1\x03LBÖlmaß\x03", 6),
            (Strings{"6;0;0;ölmaß", "6;0;0;Ölmaß"}));
  // A long label is cut to 255 characters and reading goes on after its terminator.
  const Strings longLabel = Records("LB" + std::string(1000, 'x') + "\x03LBy\x03", 6);
  ASSERT_EQ(longLabel.size(), 2u);
  EXPECT_EQ(longLabel[0], "6;0;0;" + std::string(MaxPlotLabelChars, 'x'));
}

TEST_F(PlotReaderTest, EncodedPolylines) {
  // 8-bit numbers: 63..126 carry six bits, lowest group first; 191..254 end the number.
  struct { std::string code; bool sevenBit; uint64_t n; } numbers[] = {
      {"\xBF", false, 0}, {"\xC0", false, 1}, {"\xFE", false, 63}, {"?\xC0", false, 64},
      {"A\xC2", false, 2 + 3 * 64}, {"_", true, 0}, {"@`", true, 1 + 32}, {"~", true, 31}};
  for (const auto& c : numbers) {
    SCOPED_TRACE(c.code);
    std::size_t pos = 0;
    uint64_t n = 99;
    ASSERT_TRUE(DecodePeNumber(c.code, pos, c.sevenBit, n));
    EXPECT_EQ(n, c.n);
    EXPECT_EQ(pos, c.code.size());
  }
  std::size_t pos = 0;
  uint64_t n = 0;
  EXPECT_FALSE(DecodePeNumber("AB;C\xC0", pos, false, n));  // the command ends first
  EXPECT_EQ(pos, 2u);
  // Odd numbers are negative: n/80 mm, -(n-1)/80 mm.
  EXPECT_EQ(PeNumberMm(800), 10);
  EXPECT_EQ(PeNumberMm(801), -10);
  EXPECT_EQ(PeNumberMm(0), 0);

  // 800 = 32 + 12*64 ("_" then 191+12), 801 = 33 + 12*64 ("`" then 191+12).
  const std::string p10 = "_\xCB", m10 = "`\xCB", zero = "\xBF";
  // Pen down from the start; relative pairs; "<" lifts the pen for one pair; "=" absolute.
  EXPECT_EQ(Records("SP1;PU400,400;PE" + p10 + zero + zero + p10 + "<" + m10 + zero + "=" + zero +
                        zero + ";PD0,400;",
                    4),
            (Strings{"4;10;10;20;10", "4;20;10;20;20", "4;10;20;0;0", "4;0;0;0;10"}));
  // ":" selects a pen, ">" reads its fraction digit, "7" switches to base 32.
  EXPECT_EQ(Records("PE:\x02>\x01" "7" "@``;", 4), (Strings{"4;0;0;-0.4;0"}));
  EXPECT_EQ(PlotState.PlotPen, 2);
}

TEST_F(PlotReaderTest, BrokenDataEndsThePictureWithoutHangingOrGrowing) {
  const std::string huge(200000, '9');
  const std::string cases[] = {
      "SP1;PU0,0;PD400,0;LBnever ends",      // unterminated label
      "SP1;PD400,0",                          // missing ";" at the end
      "SP1;PD" + huge + "," + huge + ";",     // endless digits
      "SP1;PD1e5000,-1e5000;PD400,0;",         // numbers out of range
      "SP1;PE" + std::string(5000, 'A'),      // a number that never ends
      "SP1;AA",                               // a command cut short
      "\x1B",                                 // half a mnemonic
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.substr(0, 40));
    const Strings records = Draw(c);
    EXPECT_LE(records.size(), 4u);
    for (const auto& r : records) EXPECT_LT(r.size(), 300u);
  }
  // Out-of-range numbers count as 0, so the next command draws from the origin.
  EXPECT_EQ(Records("SP1;PD1e5000,-1e5000;PD400,0;", 4), (Strings{"4;0;0;0;0", "4;0;0;10;0"}));
  // Coordinates are kept within the plotter's range.
  EXPECT_EQ(Records("SP1;PD4e12,0;", 4), (Strings{"4;0;0;26843546;0"}));
}

TEST_F(PlotReaderTest, FilesMissingOrReadFromTheirStartValues) {
  TempFolder dir;
  ScopedScriptedDialogs dialogs;
  ShowPlotFile(dir.File("fehlt.plt"));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(dialogs->Messages(), (Strings{dir.File("fehlt.plt") + " nicht gefunden !"}));
  EXPECT_TRUE(DisplayList.empty());

  // Only skipped commands: nothing drawn, the flag clear. State does not carry over.
  WriteWholeFile(dir.File("leer.plt"), "IN;IP0,0,4000,4000;SC0,100,0,100;");
  Flags.AbortFlag = true;
  DrawPlotData("SI9,9;SP5;PU4000,4000;");
  ShowPlotFile(dir.File("leer.plt"));
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(PlotState.PlotCharHeight, 5.0L);
  EXPECT_EQ(PlotState.PlotPen, 0);
  EXPECT_EQ(PlotState.PlotPenX, 0);

  // A file cut inside a command still draws what came before, and clears the flag.
  WriteWholeFile(dir.File("kurz.plt"), "SP1;PU0,0;PD400,0;PD800");
  DrawDevice->ClearDevice();
  ShowPlotFile(dir.File("kurz.plt"));
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(DisplayListText(), (Strings{"8;12", "4;0;0;10;0"}));
}

}  // namespace
