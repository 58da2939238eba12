// Default design and flank-angle access of the design record.
#include <gtest/gtest.h>

#include "design/qernvar.h"
#include "framework/progvar.h"

namespace qern {
namespace {

TEST(DesignRecord, DefaultDesignInputs) {
  InitProgramState();
  Session.CommentLines = {"a", "b", "c"};
  Design.PinDiameter[1] = 3;  // left over from an earlier design
  SetDefaultDesign();
  const DesignRecord& r = Design;
  for (int i = 1; i <= 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(r.ToolTipRadiusFactor[i], 0.25L);
    EXPECT_EQ(r.ToolDedendumFactor[i], 1.0L);
    EXPECT_EQ(r.ToolAddendumFactor[i], 1.0L);
    EXPECT_EQ(r.XInputMode[i], 1);
    EXPECT_EQ(r.ProfileShift[i], 0);
    EXPECT_EQ(r.RootDiameterInput[i], 1.0L);
    EXPECT_EQ(r.PinDimension[i], 0);
    EXPECT_EQ(r.StandardPinDiameter[i], 0);
    EXPECT_EQ(r.MinRootDiameter[i], 0);
    EXPECT_EQ(r.ToothThicknessInput[i], 0);
    EXPECT_EQ(r.SpaceWidthInput[i], 0);
    EXPECT_EQ(r.PinDiameter[i], 0);
    EXPECT_EQ(r.PitchDiameter[i], 0);
    EXPECT_EQ(r.TipDiameter[i], 0);
    EXPECT_EQ(r.DrawLength[i], 0);
  }
  EXPECT_EQ(r.TipDiameterInput[1], 13.9L);
  EXPECT_EQ(r.TipDiameterInput[2], 12.3L);
  EXPECT_EQ(r.PressureAngleDeg, 30);
  EXPECT_EQ(r.PressureAngle, 0);
  EXPECT_EQ(r.PitchInputMode, 1);
  EXPECT_EQ(r.MajorDiameterInput, 2);
  EXPECT_EQ(r.MinorDiameterInput, 2);
  EXPECT_TRUE(r.ClearancesAsFactors);
  EXPECT_EQ(r.MajorClearance, 0);
  EXPECT_EQ(r.MinorClearance, 0);
  EXPECT_EQ(r.FlankClearance, 0);
  EXPECT_EQ(r.MajorClearanceFactor, 0);
  EXPECT_EQ(r.MinorClearanceFactor, 0);
  EXPECT_EQ(r.FlankClearanceFactor, 0);
  EXPECT_EQ(r.FitMode, 0);
  EXPECT_EQ(r.ToothCount[1], 31);
  EXPECT_EQ(r.ToothCount[2], -31);
  EXPECT_EQ(r.NormalModule, 0.41934L);
  EXPECT_EQ(r.NormalPitch, 0);
  EXPECT_EQ(r.DiametralPitch, 0);
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
