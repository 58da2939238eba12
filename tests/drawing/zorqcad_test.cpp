// CAD output layer: output opening with its name rules and dialogs, pens, text style, the primitives
// on the screen device (display-list records) and the pen-position operations.
#include <cmath>

#include "cadtest.h"
#include "drawing/cadscreen.h"
#include "framework/zorqdraw.h"

namespace qern::test {
namespace {

class ZorqcadTest : public CadTest {
 protected:
  // The display-list records of body drawn on the screen device, after the device's own start.
  std::vector<std::string> Screen(const std::function<void()>& body) {
    Flags.AbortFlag = false;
    CadBeginOutput(CadDeviceScreen);
    const size_t start = DisplayList.size();
    body();
    std::vector<std::string> all = DisplayListText();
    CadEndOutput();
    return std::vector<std::string>(all.begin() + start, all.end());
  }
};

TEST_F(ZorqcadTest, PensAndSymbolScale) {
  CadSetPen(40);
  EXPECT_EQ(CadState.CadPen, 24);
  CadSetPen(31);
  EXPECT_EQ(CadState.CadPen, 31);
  CadSetSymbolScale(0.005L);
  EXPECT_EQ(CadState.CadSymbolScale, 1.0L);
  Settings.DimensionSizeFactor = 2;
  CadSetSymbolScale(1.5L);
  EXPECT_EQ(CadState.CadSymbolScale, 3.0L);
}

TEST_F(ZorqcadTest, TextStyleAndScreenAngle) {
  CadSetTextStyle(2, 0, 5, 0);
  EXPECT_NEAR(static_cast<double>(CadState.CadTextWidth), 0.7, 1e-12);
  CadSetTextStyle(2, 0, 0, 3);  // no height: no division by zero
  EXPECT_NEAR(static_cast<double>(CadState.CadTextWidth), 0.7, 1e-12);

  Settings.ScreenWidth = 1280;
  Settings.ScreenHeight = 1024;
  EXPECT_NEAR(static_cast<double>(CadScreenTextAngle(45)), 46.85, 0.01);
  EXPECT_NEAR(static_cast<double>(CadScreenTextAngle(30)), 31.63, 0.01);
  for (long double a : {0.0L, 90.0L, 4.0L, 86.0L}) EXPECT_EQ(CadScreenTextAngle(a), a);
  // The CAD files keep the angle as given, whatever the monitor.
  CadSetTextStyle(2, 45, 5, 3);
  EXPECT_EQ(CadState.CadTextRotation, 45.0L);
  Settings.ScreenWidth = 1024;
  Settings.ScreenHeight = 768;
  for (long double a : {30.0L, 45.0L, 60.0L})
    EXPECT_NEAR(static_cast<double>(CadScreenTextAngle(a)), static_cast<double>(a), 1e-9);
}

TEST_F(ZorqcadTest, FitShrinksLongTexts) {
  Settings.GraphicTextWidthFactor = 0.7L;
  CadSetTextStyleFit(2, " 12345 ", 0, 3.5L, 2.8L, 20);  // needs 14: fits
  EXPECT_EQ(CadState.CadTextHeight, 3.5L);
  CadSetTextStyleFit(2, "1234567890", 0, 3.5L, 2.8L, 14);  // needs 28: half size
  EXPECT_NEAR(static_cast<double>(CadState.CadTextHeight), 1.75, 1e-12);
  CadSetTextStyleFit(2, "", 0, 3.5L, 2.8L, 0);
  EXPECT_EQ(CadState.CadTextHeight, 3.5L);
}

TEST_F(ZorqcadTest, OutputNameFromTheSaveDialog) {
  Flags.BatchCadOutput = false;
  Settings.CadFolder = tmp_.Path();
  Session.CurrentFileName = "welle.qrk";
  for (auto [typed, written] : {std::pair{"part.dat", "part.dxf"}, std::pair{"part", "part.dxf"}}) {
    dialogs_->Clear();
    dialogs_->QueueText(tmp_.File(typed));
    dialogs_->QueueYes();  // the second round replaces the first one's file
    Output(CadDeviceDxf, [] {});
    EXPECT_EQ(CadState.CadFileName, tmp_.File(written));
    EXPECT_TRUE(FileCanOpen(tmp_.File(written)));
    const auto& shown = dialogs_->Log.front();
    EXPECT_EQ(shown.Kind, "save");
    EXPECT_EQ(shown.File.ProposedName, "welle");
    EXPECT_EQ(shown.File.Patterns, (std::vector<std::string>{"*.dxf", "*.*"}));
  }
  // Cancel and an empty name open nothing.
  for (bool empty : {false, true}) {
    dialogs_->Clear();
    if (empty) dialogs_->QueueText("");
    Flags.AbortFlag = false;
    CadBeginOutput(CadDeviceDxf);
    EXPECT_TRUE(Flags.AbortFlag);
    EXPECT_EQ(CurrentCadBackEnd(), nullptr);
  }
}

TEST_F(ZorqcadTest, DeviceDialog) {
  // Batch runs: the choice is answered with Cancel, nothing waits.
  SetDialogService(nullptr);
  Flags.AbortFlag = false;
  CadBeginOutput(0);
  EXPECT_TRUE(Flags.AbortFlag);
  SetDialogService(&dialogs_.Service);

  // Plot device with one stored line: no line choice; the input keeps or replaces the line.
  int windowCalls = 0;
  SetCadPlotDialogs({[&](std::string& line) {
                       ++windowCalls;
                       line += " /R";
                       return true;
                     },
                     [](std::string& line, int mode) { line = "built " + std::to_string(mode); }});
  Flags.AbortFlag = false;
  dialogs_->QueueChoice(4);
  dialogs_->QueueOk();
  CadAskDevice();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(CadState.CadDevice, CadDevicePlot);
  EXPECT_EQ(CadState.GravuraCommandIndex, 1);
  EXPECT_EQ(windowCalls, 1);
  EXPECT_EQ(Settings.GravuraCommandLines[0], "C:\\GRAVURA\\WGRAVURA GRAVURA.DXF /M1.0 /R");
  EXPECT_EQ(dialogs_->Log[0].Items.size(), 5u);
  EXPECT_EQ(dialogs_->Log[1].Kind, "input");

  // Two stored lines: the choice; "0" builds the line with the dialogs.
  Settings.GravuraCommandCount = 2;
  dialogs_->Clear();
  dialogs_->QueueChoice(4);
  dialogs_->QueueChoice(2);
  dialogs_->QueueText("0");
  CadAskDevice();
  EXPECT_EQ(CadState.GravuraCommandIndex, 2);
  EXPECT_EQ(Settings.GravuraCommandLines[1], "built 0");
  EXPECT_EQ(dialogs_->Log[1].Caption, "GRAVURA Command Line");
  SetCadPlotDialogs({});
}

TEST_F(ZorqcadTest, PrimitivesOnTheScreen) {
  Settings.LayerLineWidths[1] = 3;
  const auto records = Screen([] {
    CadSetOrigin(10, 20);
    CadSetPen(0);
    CadLine(0, 0, 1, 1);
    CadCircle(1, 2, 3);
    CadArc(0, 0, 0, 90, 2);
    CadArc(0, 0, 0, 90, 0);  // radius 0: nothing
    CadSetTextStyle(2, 0, 4, 2);
    CadText("Hä", 1, 1);
    CadText("", 1, 1);  // nothing
    CadSolid(0, 0, 1, 0, 0, 1, 1, 1);
    CadSetPen(1);
    CadSetPen(17);
  });
  // Pen 0: colour 1 is DOS pen 1, palette 12; pen 1 dash-dot, DOS pen 2 (palette 14), width 3;
  // pen 17 solid, colour 2 as before, width 1.
  EXPECT_EQ(records, (std::vector<std::string>{
                         "8;12", "4;10;20;11;21", "3;11;22;3", "5;8;18;12;22;12;20;10;22",
                         "9;4;1.9;2;0", "6;11;21;Hä", "7;10;20;11;20;10;21;11;21", "11;2", "8;14",
                         "12;3", "11;0", "12;1"}))
      << "got " << records.size() << " records";
}

TEST_F(ZorqcadTest, PenPositionOperations) {
  const auto lines = Dxf([] {
    CadSetOrigin(100, 0);
    CadRectangle(0, 0, 2, 1);
    CadHLineCentred(0, 5, 4);
    CadSetTextStyle(2, 0, 2, 0);
    CadMoveTo(0, 10);
    CadTextAtPen("a");
    CadTextAtPen("");
    CadTextAtPen("b");
  });
  EXPECT_EQ(CountGroups(lines, "  0", "LINE"), 5);
  EXPECT_EQ(CountGroups(lines, " 10", "98.000000"), 1);
  EXPECT_EQ(CountGroups(lines, " 20", "10.000000"), 1);
  EXPECT_EQ(CountGroups(lines, " 20", "6.800000"), 1) << "one line of 1.6 heights, not two";
  EXPECT_NEAR(static_cast<double>(CadState.CadPenY), 3.6, 1e-12);
  // A rotated text moves the pen across its direction.
  CadSetTextStyle(2, 90, 1, 0);
  CadMoveTo(0, 0);
  CadBeginOutput(CadDeviceDxf);
  CadTextAtPen("c");
  CadEndOutput();
  EXPECT_NEAR(static_cast<double>(CadState.CadPenX), 1.6, 1e-12);
  EXPECT_NEAR(static_cast<double>(CadState.CadPenY), 0, 1e-12);
}

TEST_F(ZorqcadTest, DevicesWithoutBackEnd) {
  // An unknown device draws nothing.
  Flags.AbortFlag = false;
  CadBeginOutput(9);
  EXPECT_FALSE(Flags.AbortFlag);
  CadLine(0, 0, 1, 1);
  CadEndOutput();
}

}  // namespace
}  // namespace qern::test
