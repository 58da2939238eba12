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
  PartDrawingName2[1].clear();
  PartDrawingName2[2].clear();
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
  // Every field not set below (results, pin diameters, clearances, pitches, shifts) is 0.
  rec = DesignRecord{};
  for (int i = 1; i <= 2; ++i) {
    rec.TipDiameterInput[i] = 1.0L;
    rec.RootDiameterInput[i] = 1.0L;
    rec.ToolTipRadiusFactor[i] = 0.25L;
    rec.ToolDedendumFactor[i] = 1.0L;
    rec.ToolAddendumFactor[i] = 1.0L;
    rec.XInputMode[i] = 1;
  }
  rec.PressureAngleDeg = 30;
  rec.PitchInputMode = 1;
  rec.MajorDiameterInput = 2;
  rec.MinorDiameterInput = 2;
  rec.ClearancesAsFactors = true;
  rec.FitMode = 0;
  rec.ToothCount[1] = 31;
  rec.ToothCount[2] = -31;
  rec.NormalModule = 0.41934L;
  rec.FlankAngleExternal = 1.047197551L;  // 60 degrees, given (AngleCode 1)
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
