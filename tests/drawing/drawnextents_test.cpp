// The extents a DXF file states hold everything it draws, also for designs whose calculation found
// errors (tooth counts that do not suit the diameters, parts that overlap).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "design/aendvar.h"
#include "design/qerncalc.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "drawing/zorqcad.h"
#include "dxfbounds.h"
#include "framework/progvar.h"
#include "support/testutil.h"

namespace qern::test {
namespace {

class DrawnExtents : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Settings;
    savedInfo_ = DrawingInfo;
    Settings.TempFolder = dir_.Path() + "/";
  }
  void TearDown() override {
    Flags.BatchCadOutput = false;
    Flags.ErrorBoxesEnabled = true;
    Settings = saved_;
    DrawingInfo = savedInfo_;
    SetDefaultDesign();
    ResetErrors();
  }
  // Writes kind of the current design as DXF; returns the file name.
  std::string WriteDxf(int kind) {
    Flags.BatchCadOutput = true;
    Flags.AbortFlag = false;
    Session.CurrentFileName = dir_.File("k" + std::to_string(kind));
    DrawMenu(CadDeviceDxf, kind);
    Flags.BatchCadOutput = false;
    return Session.CurrentFileName + ".dxf";
  }
  // The first point of kind's DXF file outside its extents, "" when there is none (kind 10 draws
  // nothing). pointsSeen_ counts the points looked at.
  std::string Outside(int kind) {
    const std::string file = WriteDxf(kind);
    if (!std::filesystem::exists(file)) return "no file";
    return FirstPointOutside(file, &pointsSeen_);
  }
  TempFolder dir_;
  ProgramSettings saved_;
  DrawingInfoRecord savedInfo_;
  size_t pointsSeen_ = 0;
};

// The default design read from its file with another tooth count on line 11.
void DefaultFileWithTeeth(const TempFolder& dir, int z) {
  std::vector<std::string> lines = ReadFileLines(QERN_SOURCE_DATA "/null.qrk");
  lines[10] = std::to_string(z);
  const std::string file = dir.File("z" + std::to_string(z) + ".qrk");
  WriteFileLines(file, lines);
  Flags.ErrorBoxesEnabled = false;
  ReadDataFile(file);
  Flags.ErrorBoxesEnabled = true;
}

// The design file's tooth count no longer suits its diameters: every kind that is drawn holds its
// drawing, from teeth far too wide (few) to a shaft whose pitch lines stand far outside its tip.
TEST_F(DrawnExtents, DefaultDesignWithOtherToothCounts) {
  int drawn = 0;
  for (int z : {6, 8, 10, 12, 16, 20, 25, 40, 50, 60, 80, 100, 150}) {
    DefaultFileWithTeeth(dir_, z);
    if (Flags.FatalError) continue;
    for (int kind = 1; kind <= DrawingKindCount; ++kind, ++drawn)
      EXPECT_EQ(Outside(kind), "") << "z " << z << " kind " << kind;
  }
  EXPECT_GE(drawn, 12 * DrawingKindCount);
  EXPECT_GT(pointsSeen_, 100000u);
}

// Measured with stand-ins (wheels of many teeth by their tip circles), the extents hold
// those measured with every piece drawn, and are the same where nothing reaches past the room (the
// default design); likewise for tooth counts that do not suit the diameters.
TEST_F(DrawnExtents, StandInsHoldWhatTheWholeDrawingDraws) {
  int measured = 0;
  for (int z : {0, 6, 12, 31, 60, 150, 400}) {
    if (z == 0)
      SetDefaultDesign(), CalculateSerration();
    else
      DefaultFileWithTeeth(dir_, z);
    if (Flags.FatalError) continue;
    for (int device : {CadDeviceDxf, CadDeviceScreen}) {
      CadSetDevice(device);
      for (int kind = 1; kind <= DrawingKindCount; ++kind) {
        const CadBox a = DrawingExtents(kind), w = DrawingExtents(kind, true);
        ASSERT_FALSE(a.Empty()) << z << " " << kind;
        EXPECT_LE(a.xmin, w.xmin) << "z " << z << " kind " << kind;
        EXPECT_LE(a.ymin, w.ymin) << "z " << z << " kind " << kind;
        EXPECT_GE(a.xmax, w.xmax) << "z " << z << " kind " << kind;
        EXPECT_GE(a.ymax, w.ymax) << "z " << z << " kind " << kind;
        const bool same = a.xmin == w.xmin && a.ymin == w.ymin && a.xmax == w.xmax &&
                          a.ymax == w.ymax;
        if (z == 0) {
          EXPECT_TRUE(same) << "kind " << kind;
        }
        ++measured;
      }
    }
  }
  CadSetDevice(CadDeviceScreen);
  EXPECT_GE(measured, 4 * 2 * DrawingKindCount);
}

// A drawing that reaches past its kind's room is begun again and drawn within the extents
// measured for it, on every device alike: the CAD text states the extents of the DXF file, which
// are those DrawingExtents finds, and each file holds its drawing once.
TEST_F(DrawnExtents, BegunAgainAlikeOnEveryDevice) {
  int checked = 0;
  for (int z : {6, 150}) {
    DefaultFileWithTeeth(dir_, z);
    if (Flags.FatalError) continue;
    for (int kind = 1; kind <= DrawingKindCount; ++kind) {
      const DxfBounds dxf(WriteDxf(kind));
      CadSetDevice(CadDeviceDxf);
      const CadBox e = DrawingExtents(kind);
      const double stated[4] = {static_cast<double>(e.xmin), static_cast<double>(e.ymin),
                                static_cast<double>(e.xmax), static_cast<double>(e.ymax)};
      Flags.BatchCadOutput = true;
      Flags.AbortFlag = false;
      DrawMenu(CadDeviceText, kind);
      Flags.BatchCadOutput = false;
      const std::vector<std::string> txt = ReadFileLines(Session.CurrentFileName + ".txt");
      ASSERT_FALSE(txt.empty()) << kind;
      std::istringstream minmax(txt[0].substr(6));
      for (int i = 0; i < 4; ++i) {
        double v = 0;
        minmax >> v;
        EXPECT_NEAR(v, dxf.extents[i], 1e-6) << "z " << z << " kind " << kind << " " << i;
        EXPECT_NEAR(v, stated[i], 1e-6) << "z " << z << " kind " << kind << " " << i;
      }
      EXPECT_EQ(std::count(txt.begin(), txt.end(), "EOF"), 1) << kind;
      EXPECT_EQ(std::count_if(txt.begin(), txt.end(),
                              [](const std::string& l) { return l.starts_with("MINMAX"); }),
                1)
          << kind;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 2 * DrawingKindCount);
  CadSetDevice(CadDeviceScreen);
}

// Six teeth whose tip diameters lie 0.9 above and 0.7 below the pitch diameter: the hub's outline
// is short beside the dimension texts turned by 90 degrees, whose bodies (not only their anchors)
// lie inside the extents; so do those of every other text of every kind.
TEST_F(DrawnExtents, TextBodiesOfSixTeethWithTipsNearThePitchDiameter) {
  std::vector<std::string> lines = ReadFileLines(QERN_SOURCE_DATA "/null.qrk");
  const long double d = 6 * std::stold(lines[9]);  // z times the module
  lines[10] = "6";
  lines[24] = std::to_string(static_cast<double>(d + 0.9L));
  lines[36] = std::to_string(static_cast<double>(d - 0.7L));
  const std::string file = dir_.File("six.qrk");
  WriteFileLines(file, lines);
  Flags.ErrorBoxesEnabled = false;
  ReadDataFile(file);
  Flags.ErrorBoxesEnabled = true;
  ASSERT_FALSE(Flags.FatalError);
  for (int kind = 1; kind <= DrawingKindCount; ++kind)
    EXPECT_EQ(Outside(kind), "") << "kind " << kind;
}

// Both radial clearances negative: the shaft's tip beyond the hub's root and the hub's tip inside
// the shaft's root, for a range of tooth counts.
TEST_F(DrawnExtents, DesignsWithBothRadialClearancesNegative) {
  int drawn = 0;
  for (int z : {8, 12, 20, 31, 45, 60, 120}) {
    for (int tenths : {2, 10, 25}) {
      const long double overlap = tenths / 10.0L;
      SetDefaultDesign();
      Design.ToothCount = {0, z, -z};
      Design.MajorDiameterInput = Design.MinorDiameterInput = 1;  // diameters given
      Design.TipDiameterInput[1] = 13.9L + overlap;
      Design.RootDiameterInput[2] = 13.9L - overlap;
      Design.TipDiameterInput[2] = 12.3L - overlap;
      Design.RootDiameterInput[1] = 12.3L + overlap;
      CalculateSerration();
      if (Flags.FatalError) continue;
      ASSERT_LT(Design.TipClearance[1], 0) << z;
      ASSERT_LT(Design.TipClearance[2], 0) << z;
      for (int kind = 1; kind <= DrawingKindCount; ++kind, ++drawn)
        EXPECT_EQ(Outside(kind), "") << "z " << z << " overlap " << tenths << "/10"
                                     << " kind " << kind;
    }
  }
  EXPECT_GE(drawn, 15 * DrawingKindCount);
  EXPECT_GT(pointsSeen_, 100000u);
}

}  // namespace
}  // namespace qern::test
