// Default design and flank-angle access of the design record.
#include <gtest/gtest.h>

#include "design/qernvar.h"
#include "framework/progvar.h"

namespace qern {
namespace {

TEST(DesignRecord, DefaultDesign) {
  InitProgramState();
  // Left over from an earlier design: the default design replaces all of it.
  Session.CommentLines = {"a", "b", "c"};
  PartDrawingName2 = {"", "gehärtet", "geschliffen"};
  Design.PinDiameter[1] = 3;
  Design.ClearancesAsFactors = false;
  SetDefaultDesign();
  const DesignRecord& r = Design;
  for (int i = 1; i <= 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(r.ToolTipRadiusFactor[i], 0.25L);
    EXPECT_EQ(r.ToolDedendumFactor[i], 1.0L);
    EXPECT_EQ(r.ToolAddendumFactor[i], 1.0L);
    EXPECT_EQ(r.XInputMode[i], 1);
    EXPECT_EQ(r.RootDiameterInput[i], 1.0L);
    EXPECT_EQ(r.PinDiameter[i], 0);  // asks for the standard pin
    EXPECT_EQ(PartDrawingName2[i], "");
  }
  EXPECT_EQ(r.TipDiameterInput[1], 13.9L);
  EXPECT_EQ(r.TipDiameterInput[2], 12.3L);
  EXPECT_EQ(r.PressureAngleDeg, 30);
  EXPECT_EQ(r.PitchInputMode, 1);
  EXPECT_EQ(r.MajorDiameterInput, 2);
  EXPECT_EQ(r.MinorDiameterInput, 2);
  EXPECT_TRUE(r.ClearancesAsFactors);
  EXPECT_EQ(r.MajorClearanceFactor, 0);
  EXPECT_EQ(r.FitMode, 0);
  EXPECT_EQ(r.ToothCount[1], 31);
  EXPECT_EQ(r.ToothCount[2], -31);
  EXPECT_EQ(r.NormalModule, 0.41934L);
  EXPECT_EQ(r.FlankAngleExternal, 1.047197551L);
  EXPECT_EQ(r.FlankAngleInternal, 0);
  EXPECT_EQ(r.AngleCode, 1);
  EXPECT_EQ(PartDrawingName[1], "External spline");
  EXPECT_EQ(PartDrawingName[2], "Internal spline");
  EXPECT_EQ(PartDrawingNumber[1], "01");
  EXPECT_EQ(PartDrawingNumber[2], "02");
  for (const auto& line : Session.CommentLines) EXPECT_EQ(line, "");
}

TEST(DesignRecord, FlankAngleByPart) {
  DesignRecord r;
  r.FlankAngleExternal = 1.0L;
  r.FlankAngleInternal = 0.8L;
  EXPECT_EQ(GetFlankAngle(r, 1), 1.0L);
  EXPECT_EQ(GetFlankAngle(r, 2), 0.8L);
  EXPECT_EQ(GetFlankAngle(r, 0), 0);
  EXPECT_EQ(GetFlankAngle(r, 3), 0);
}

}  // namespace
}  // namespace qern
