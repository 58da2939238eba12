// Configuration window without its window: corrections of taken values, button presets and the
// screen-derived sizes.
#include "framework/lconfigmodel.h"

#include <gtest/gtest.h>

#include <cmath>

namespace qern {
namespace {

TEST(ConfigWindowModel, ScreenSizeFromTheField) {
  EXPECT_EQ(ScreenSizeFromField("801", 999), 800);
  EXPECT_EQ(ScreenSizeFromField("9000", 999), 5000);
  for (const char* text : {"1", "0", "-5", "", "abc"}) EXPECT_EQ(ScreenSizeFromField(text, 999), 999) << text;
}

TEST(ConfigWindowModel, CorrectionsOfTakenValues) {
  ProgramSettings s;
  s.ZoomFactor = s.GraphicTextWidthFactor = s.GraphicTextHeightFactor = 0;
  s.DimensionSizeFactor = 0.009L;
  s.FormScalePercent = s.FontScalePercent = 0;
  s.PanFactor = 0;
  CorrectTakenFactors(s);
  EXPECT_EQ(s.ZoomFactor, 1.0L);
  EXPECT_EQ(s.GraphicTextWidthFactor, 1.0L);
  EXPECT_EQ(s.GraphicTextHeightFactor, 1.0L);
  EXPECT_EQ(s.DimensionSizeFactor, 1.0L);
  EXPECT_EQ(s.FormScalePercent, 100);
  EXPECT_EQ(s.FontScalePercent, 100);
  EXPECT_EQ(s.PanFactor, 0) << "no correction for the pan factor";
  s.DimensionSizeFactor = 0.01L;
  CorrectTakenFactors(s);
  EXPECT_EQ(s.DimensionSizeFactor, 0.01L);

  std::array<int, 4> r = {-1, 451, 49, 49};
  CorrectTextWindowRect(r, 768);
  EXPECT_EQ(r, (std::array<int, 4>{10, 40, 700, 748}));
  r = {1000, 450, 1000, 768};
  CorrectTextWindowRect(r, 768);
  EXPECT_EQ(r, (std::array<int, 4>{1000, 450, 1000, 768}));
  r = {0, 0, 50, 769};
  CorrectTextWindowRect(r, 768);
  EXPECT_EQ(r, (std::array<int, 4>{0, 0, 50, 748}));
}

TEST(ConfigWindowModel, ButtonPresets) {
  EXPECT_EQ(TextWindowPreset(1024, 768, 10), (std::array<int, 4>{10, 40, 700, 748}));
  EXPECT_EQ(TextWindowPreset(640, 480, 10), (std::array<int, 4>{10, 40, 620, 460}));
  EXPECT_EQ(TextWindowPreset(1024, 768, 0), (std::array<int, 4>{10, 40, 700, 748}));
  int w = 2000, h = 0;
  FitWidthAt4to3(w, h, 1600);
  EXPECT_EQ(w, 1600);
  EXPECT_EQ(h, 1200);
  w = 0, h = 600;
  FitHeightAt4to3(w, h, 1600);
  EXPECT_EQ(w, 800);
  EXPECT_EQ(h, 600);
  const LayerRowPreset rows[] = {{"5", "1", "3"}, {"4", "3", "2"}, {"3", "2", "1"}, {"2", "2", "1"}, {"1", "2", "1"}};
  for (int row = 1; row <= 5; ++row) {
    const LayerRowPreset p = LayerButtonPreset(row);
    EXPECT_STREQ(p.Name, rows[row - 1].Name);
    EXPECT_STREQ(p.Color, rows[row - 1].Color);
    EXPECT_STREQ(p.Width, rows[row - 1].Width);
  }
  EXPECT_EQ(DialogScaleFromScreen(96, 0, 0), 101);
  EXPECT_EQ(DialogScaleFromScreen(144, 646, 600), 151);
  EXPECT_NEAR(static_cast<double>(RadiansToDegrees(DegreesToRadians(-15))), -15, 1e-12);
  EXPECT_STREQ(ColorNames[2], "grün");
}

}  // namespace
}  // namespace qern
