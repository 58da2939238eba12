// Change log and title-block data: start values, the reset of File > New and the text rules of
// their file section.
#include <gtest/gtest.h>

#include "design/aendvar.h"
#include "framework/progvar.h"
#include "framework/sysutil.h"

namespace qern {
namespace {

TEST(DrawingInfo, StartValuesAndNew) {
  InitProgramState();
  InitDrawingInfo();
  const std::string today = TodayStr();
  EXPECT_EQ(DrawingInfo.TitleDrawnDate, today);
  EXPECT_EQ(DrawingInfo.TitleCheckedDate, today);
  EXPECT_EQ(DrawingInfo.TitleStandardDate, today);
  EXPECT_EQ(DrawingInfo.TitleReleaseDate, "");
  EXPECT_EQ(DrawingInfo.ChangeCount, 0);
  EXPECT_EQ(DrawingInfo.PlacedTextCount, 0);

  DrawingInfo.ChangeCount = 3;
  DrawingInfo.ChangeEntries[2] = {"c", "d", "e", "f"};
  DrawingInfo.TitleDrawnDate = "1999-01-01";
  DrawingInfo.TitleCheckedDate = "1999-01-02";
  DrawingInfo.TitleReplaces = "alt";
  DrawingInfo.TitleDocumentStatus = "frei";
  DrawingInfo.PlacedTextCount = 2;
  DrawingInfo.PlacedTextMode = 3;
  ResetChangeLog();
  EXPECT_EQ(DrawingInfo.ChangeCount, 0);
  EXPECT_EQ(DrawingInfo.TitleDrawnDate, today);
  EXPECT_EQ(DrawingInfo.TitleCheckedDate, "");
  EXPECT_EQ(DrawingInfo.TitleReplaces, "");
  EXPECT_EQ(DrawingInfo.TitleDocumentStatus, "");
  EXPECT_EQ(DrawingInfo.PlacedTextCount, 0);
  EXPECT_EQ(DrawingInfo.PlacedTextMode, 0);
  // "neu" after a delete reuses the slot: the old texts are still there.
  EXPECT_EQ(DrawingInfo.ChangeEntries[2].ChangeText, "c");
}

TEST(DrawingInfo, TextRulesOfTheFileSection) {
  // Round trips through the file are tested with the design file; here the line-end forms.
  EXPECT_EQ(JoinDescription("erste\r\nzweite\ndritte\rvierte"), "erste|zweite|dritte|vierte");
  EXPECT_EQ(OneLineValue("a\rb\nc\r\nd"), "a b c d");
  EXPECT_EQ(PlacedNumberText(0), "0");
  EXPECT_EQ(PlacedNumberText(123.456789L), "123.4568");
  EXPECT_EQ(PlacedNumberText(-0.00123456L), "-0.00123456");
  EXPECT_EQ(PlacedNumberText(297), "297");
  // The Decimals display setting does not change what the file holds.
  Settings.Decimals = 0;
  EXPECT_EQ(PlacedNumberText(12.5L), "12.5");
  Settings.Decimals = 3;
}

}  // namespace
}  // namespace qern
