// The global design record, the part drawing texts and the built-in default design.
#include "design/qernvar.h"

#include "framework/progvar.h"

namespace qern {

DesignRecord Design;
PerPart<std::string> PartDrawingName;
PerPart<std::string> PartDrawingNumber;
PerPart<std::string> PartDrawingName2;

namespace {

void SetDefaultTexts() {
  PartDrawingName[1] = "External spline";
  PartDrawingName[2] = "Internal spline";
  PartDrawingNumber[1] = "01";
  PartDrawingNumber[2] = "02";
}

// The default design is written at start-up, before any window exists. The comment lines
// belong to the program state, which starts them empty, so they are not touched here.
struct DesignInit {
  DesignInit() {
    SetDefaultDesign(Design);
    SetDefaultTexts();
  }
} designInit;

}  // namespace

void SetDefaultDesign(DesignRecord& rec) {
  rec = DesignRecord{};
  for (int i = 1; i <= 2; ++i) {
    rec.PitchDiameter[i] = 0;
    rec.BaseDiameter[i] = 0;
    rec.ToolDedendumFactor[i] = 0;
    rec.ToolAddendumFactor[i] = 0;
    rec.ToolTipRadiusFactor[i] = 0;
    rec.ToolAddendum[i] = 0;
    rec.ToolDedendum[i] = 0;
    rec.ToolTipRadius[i] = 0;
    rec.SpaceWidth[i] = 0;
    rec.ToothThickness[i] = 0;
    rec.TipDiameter[i] = 0;
    rec.FormDiameter[i] = 0;
    rec.RootDiameter[i] = 0;
    rec.TipClearance[i] = 0;
    rec.ToothHeight[i] = 0;
    rec.PinMeasurement[i] = 0;
    rec.DrawLength[i] = 0;
  }
  for (int i = 1; i <= 2; ++i) {
    rec.PinDimension[i] = 0;
    rec.StandardPinDiameter[i] = 0;
    rec.TipDiameterInput[i] = 1.0L;
    rec.RootDiameterInput[i] = 1.0L;
    rec.MinRootDiameter[i] = 0;
    rec.ToothThicknessInput[i] = 0;
    rec.SpaceWidthInput[i] = 0;
  }
  for (int i = 1; i <= 2; ++i) {
    rec.ToolTipRadiusFactor[i] = 0.25L;
    rec.ToolDedendumFactor[i] = 1.0L;
    rec.ToolAddendumFactor[i] = 1.0L;
  }
  rec.PressureAngleDeg = 30;
  rec.PitchInputMode = 1;
  rec.XInputMode[1] = 1;
  rec.XInputMode[2] = 1;
  rec.MajorDiameterInput = 2;
  rec.MinorDiameterInput = 2;
  rec.ProfileShift[1] = 0;
  rec.ProfileShift[2] = 0;
  rec.ClearancesAsFactors = true;
  rec.MajorClearance = rec.MinorClearance = rec.FlankClearance = 0;
  rec.MajorClearanceFactor = rec.MinorClearanceFactor = rec.FlankClearanceFactor = 0;
  rec.FitMode = 0;
  rec.ToothCount[1] = 31;
  rec.ToothCount[2] = -31;
  rec.NormalModule = 0.41934L;
  rec.NormalPitch = 0;
  rec.DiametralPitch = 0;
  rec.FlankAngleExternal = 1.047197551L;
  rec.FlankAngleInternal = 0;
  rec.AngleCode = 1;
  rec.TipDiameterInput[1] = 13.9L;
  rec.TipDiameterInput[2] = 12.3L;
}

void SetDefaultDesign() {
  SetDefaultDesign(Design);
  for (auto& line : Session.CommentLines) line.clear();
  SetDefaultTexts();
}

long double GetFlankAngle(const DesignRecord& rec, int part) {
  if (part == 1) return rec.FlankAngleExternal;
  if (part == 2) return rec.FlankAngleInternal;
  return 0;
}

long double GetFlankAngle(int part) { return GetFlankAngle(Design, part); }

}  // namespace qern
