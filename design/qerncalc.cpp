// The serration calculation of shaft and hub: angles, pitch, profile shifts, diameter groups,
// final dimensions and plausibility checks.
#include "design/qerncalc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "design/qernform.h"
#include "design/trigmemo.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"

namespace qern {

namespace {

// Message texts; a number or part follows those ending in "(".
const char* const MsgWalcode = "Fatal  : walcode!";
const char* const MsgGammaI = "Fatal  : gammai <=0 !";
const char* const MsgPitchZero = "Fatal  : pitch = 0 !";
const char* const MsgMnZero = "Fatal  : mn = 0 !";
const char* const MsgAlpha = "Fatal  : 5 < alpha < 90 !";
const char* const MsgPnZero = "Fatal  : Pn = 0 !";
const char* const MsgZZero = "Fatal  : z = 0 !";
const char* const MsgXHigh = "Warnung: x > 1.5 !";
const char* const MsgXLow = "Warnung: x < -1.5 !";
const char* const MsgMdRMin = "Fatal  : MdR < MdRmin !";
const char* const MsgMdRMax = "Fatal  : MdR > MdRmax !";
const char* const MsgIteration = "Fehler :  Iteration (xe=";
const char* const MsgDfZero = "Fatal  : df=0 ! (";
const char* const MsgDaZero = "Fatal  : da=0 ! (";
const char* const MsgDmDin = "Warnung: Dm <> Dm DIN ! (";
const char* const MsgCeNeg = "Fehler : ce < 0 !";
const char* const MsgCeRf = "Warnung: ce < rf2 !";
const char* const MsgCiNeg = "Fehler : ci < 0 !";
const char* const MsgCiRf = "Warnung: ci < rf1 !";
const char* const MsgCpNeg = "Fehler : cp < 0 !";
const char* const MsgDbDa = "Fehler : db > da ! (1)";
const char* const MsgXPart = "Warnung: x > 1.5   (";
const char* const MsgRhoNeg = "Fehler : rho f < 0 !  (";
const char* const MsgDfMin = "Fehler : df < dfmin !  (";
const char* const MsgDFf1 = "Fehler : dFf1>da2 !";
const char* const MsgDFf2 = "Fehler : dFf2<da1 !";
// A value beyond the range of the numbers (absurd input): the record keeps 0 there.
const char* const MsgRange = "Fatal  : Zahlenbereich !";
// Added by the guarded arccos of the standard pin diameter.
const char* const MsgDmMess = "Error : Error: DmMess arccos(";

// A sharp tool (tip radius 0) cuts exactly the smallest root diameter; the two are computed
// along different roads, so they may differ in the last bits. Only a real difference counts.
long double RoundingAllowance(long double diameter) {
  return 1e-12L * std::max(1.0L, std::fabs(diameter));
}

void Fatal(std::string_view text) {
  AddError(text);
  Flags.FatalError = true;
}

// prefix + part + suffix, made in a text kept from message to message: valid until the next call.
std::string_view PartText(const char* prefix, int part, const char* suffix = ")") {
  thread_local std::string text;
  text.assign(prefix).append(std::to_string(part)).append(suffix);
  return text;
}

// Points the program's error list and fatal flag at the caller's while a calculation runs,
// and keeps the program's AbortFlag as it was when the list is not the program's own.
class MessageTarget {
 public:
  MessageTarget(ErrorListRecord& list, bool& fatal)
      : list_(list), fatal_(fatal), ownList_(&list != &Errors), ownFlag_(&fatal != &Flags.FatalError) {
    if (ownList_) {
      std::swap(Errors, list_);
      savedAbort_ = Flags.AbortFlag;
    }
    if (ownFlag_) {
      savedFatal_ = Flags.FatalError;
      Flags.FatalError = fatal_;
    }
  }
  ~MessageTarget() {
    if (ownList_) {
      std::swap(Errors, list_);
      Flags.AbortFlag = savedAbort_;
    }
    if (ownFlag_) {
      fatal_ = Flags.FatalError;
      Flags.FatalError = savedFatal_;
    }
  }
  MessageTarget(const MessageTarget&) = delete;
  MessageTarget& operator=(const MessageTarget&) = delete;

 private:
  ErrorListRecord& list_;
  bool& fatal_;
  bool ownList_, ownFlag_;
  bool savedAbort_ = false, savedFatal_ = false;
};

// Infinity and NaN carry the all-ones exponent; reading it is much cheaper than an x87 compare.
inline bool IsFiniteValue(const long double& v) {
  if constexpr (trigmemo::Keyed) {
    std::uint16_t e;
    std::memcpy(&e, reinterpret_cast<const char*>(&v) + 8, sizeof e);
    return (e & 0x7FFF) != 0x7FFF;
  } else {
    return std::isfinite(v);
  }
}

// Last guard: no NaN or infinity stays in the record. Returns true when one was found.
bool ScrubNonFinite(DesignRecord& r) {
  bool found = false;
  ForEachRealField(r, [&](long double& v) {
    if (!IsFiniteValue(v)) {
      v = 0;
      found = true;
    }
  });
  return found;
}

// Angles by AngleCode; false when the calculation has to stop.
bool AnglesByCode(DesignRecord& r) {
  if (r.AngleCode > 2) {
    Fatal(MsgWalcode);
    return false;
  }
  // Every angle code divides by z1: a missing or negative tooth count stops here.
  if (r.ToothCount[1] <= 0) {
    Fatal(MsgZZero);
    return false;
  }
  const long double pitchAngle = 2 * Pi / r.ToothCount[1];
  switch (r.AngleCode) {
    case 0:
      r.PressureAngle = r.PressureAngleDeg * Pi / 180;
      r.FlankAngleExternal = 2 * r.PressureAngle;
      r.FlankAngleInternal = r.FlankAngleExternal - pitchAngle;
      break;
    case 1:
      r.PressureAngle = r.FlankAngleExternal / 2;
      r.PressureAngleDeg = r.PressureAngle * 180 / Pi;
      r.FlankAngleInternal = r.FlankAngleExternal - pitchAngle;
      break;
    default:
      r.FlankAngleExternal = r.FlankAngleInternal + pitchAngle;
      r.PressureAngle = r.FlankAngleExternal / 2;
      r.PressureAngleDeg = r.PressureAngle * 180 / Pi;
      break;
  }
  return true;
}

// Module and pitch by PitchInputMode; false when the calculation has to stop.
bool ModuleByCode(DesignRecord& r) {
  if (r.PitchInputMode == 2) {
    if (r.DiametralPitch == 0) {
      Fatal(MsgPitchZero);
      return false;
    }
    r.NormalModule = 25.4L / r.DiametralPitch;
  } else {
    if (r.NormalModule == 0) {
      Fatal(MsgMnZero);
      return false;
    }
    r.DiametralPitch = 25.4L / r.NormalModule;
  }
  return true;
}

// Clearances of the fit modes that derive one part from the other.
void ClearancesByFitMode(DesignRecord& r) {
  if (r.FitMode != 1 && r.FitMode != 2) return;
  const long double mn = r.NormalModule;
  if (r.ClearancesAsFactors) {
    r.MinorClearance = r.MinorClearanceFactor * mn;
    r.MajorClearance = r.MajorClearanceFactor * mn;
    r.FlankClearance = r.FlankClearanceFactor * mn;
  } else {
    r.MinorClearanceFactor = r.MinorClearance / mn;
    r.MajorClearanceFactor = r.MajorClearance / mn;
    r.FlankClearanceFactor = r.FlankClearance / mn;
  }
}

void ProfileShiftsByFitMode(DesignRecord& r) {
  const long double mn = r.NormalModule, alpha = r.PressureAngle;
  if (r.FitMode == 2) {
    ProfileShiftByMode(r, 2);
    PinDimensionForPart(r, 2);
    r.ToothThicknessInput[1] = r.SpaceWidthInput[2] - r.FlankClearance;
    r.ProfileShift[1] = ShiftFromToothThickness(r, 1);
  } else if (r.FitMode == 1) {
    ProfileShiftByMode(r, 1);
    PinDimensionForPart(r, 1);
    r.SpaceWidthInput[2] = r.ToothThicknessInput[1] + r.FlankClearance;
    r.ProfileShift[2] = ShiftFromSpaceWidth(r, 2);
  } else {
    for (int i = 1; i <= 2; ++i) {
      ProfileShiftByMode(r, i);
      r.ToothThicknessInput[i] = ToothThicknessFromShift(mn, alpha, r.ProfileShift[i]);
      r.SpaceWidthInput[i] = r.NormalPitch - r.ToothThicknessInput[i];
    }
  }
}

// Shaft tip da1 and hub root df2 with the tool factors that belong to them, and ce.
void MajorDiameterGroup(DesignRecord& r) {
  const long double mn = r.NormalModule;
  const long double z1 = r.ToothCount[1];
  const long double d1 = z1 * mn;
  const long double gammaI = r.FlankAngleInternal;
  long double& da1 = r.TipDiameterInput[1];
  long double& df2 = r.RootDiameterInput[2];
  long double& hf1 = r.ToolDedendumFactor[1];
  long double& ha2 = r.ToolAddendumFactor[2];
  long double& rho2 = r.ToolTipRadiusFactor[2];
  const long double x1 = r.ProfileShift[1], x2 = r.ProfileShift[2];
  const long double en2 = r.SpaceWidthInput[2];
  auto hf1FromDa1 = [&] { hf1 = da1 / 2 / mn - z1 / 2 - x1; };
  auto ha2FromDf2 = [&] { ha2 = df2 / 2 / mn - z1 / 2 + x2; };
  auto rho2FromDf2 = [&] { rho2 = TipRadiusInternal(en2, df2, d1, gammaI) / mn; };
  auto ceFromDiameters = [&] { r.MajorClearanceFactor = (df2 - da1) / mn / 2; };
  auto da1FromFactor = [&] { da1 = mn * (z1 + 2 * x1 + 2 * hf1); };
  auto df2FromFactor = [&] { df2 = mn * (z1 - 2 * x2 + 2 * ha2); };
  auto df2FromRadius = [&] { df2 = RootDiameterInternal(en2, rho2 * mn, d1, gammaI); };
  auto df2FromDa1 = [&] { df2 = da1 + 2 * r.MajorClearanceFactor * mn; };
  auto da1FromDf2 = [&] { da1 = df2 - 2 * r.MajorClearanceFactor * mn; };

  const int input = r.MajorDiameterInput;
  switch (r.FitMode) {
    case 0:
      if (input == 0) {
        da1FromFactor(); df2FromFactor(); rho2FromDf2(); ceFromDiameters();
      } else if (input == 1) {
        hf1FromDa1(); ha2FromDf2(); rho2FromDf2(); ceFromDiameters();
      } else if (input == 2) {
        hf1FromDa1(); df2FromRadius(); ha2FromDf2(); ceFromDiameters();
      }
      break;
    case 1:
      if (input == 0) {
        da1FromFactor(); df2FromDa1(); ha2FromDf2(); rho2FromDf2();
      } else if (input == 1 || input == 2) {
        df2FromDa1(); hf1FromDa1(); ha2FromDf2(); rho2FromDf2();
      }
      break;
    case 2:
      if (input == 0) {
        df2FromFactor(); da1FromDf2(); rho2FromDf2(); hf1FromDa1();
      } else if (input == 1) {
        da1FromDf2(); hf1FromDa1(); ha2FromDf2(); rho2FromDf2();
      } else if (input == 2) {
        df2FromRadius(); ha2FromDf2(); da1FromDf2(); hf1FromDa1();
      }
      break;
    default:
      break;
  }
  r.MajorClearance = r.MajorClearanceFactor * mn;
}

// Hub tip da2 and shaft root df1 with the tool factors that belong to them, and ci.
void MinorDiameterGroup(DesignRecord& r) {
  const long double mn = r.NormalModule;
  const long double z1 = r.ToothCount[1];
  const long double d1 = z1 * mn;
  const long double pn = r.NormalPitch;
  const long double gammaE = r.FlankAngleExternal;
  long double& da2 = r.TipDiameterInput[2];
  long double& df1 = r.RootDiameterInput[1];
  long double& ha1 = r.ToolAddendumFactor[1];
  long double& hf2 = r.ToolDedendumFactor[2];
  long double& rho1 = r.ToolTipRadiusFactor[1];
  const long double x1 = r.ProfileShift[1], x2 = r.ProfileShift[2];
  const long double sn1 = r.ToothThicknessInput[1];
  auto ha1FromDf1 = [&] { ha1 = -df1 / 2 / mn + z1 / 2 + x1; };
  auto hf2FromDa2 = [&] { hf2 = -da2 / 2 / mn + z1 / 2 - x2; };
  auto rho1FromDf1 = [&] { rho1 = TipRadiusExternal(sn1, df1, pn, d1, gammaE) / mn; };
  auto ciFromDiameters = [&] { r.MinorClearanceFactor = (da2 - df1) / mn / 2; };
  auto df1FromFactor = [&] { df1 = mn * (z1 - 2 * ha1 + 2 * x1); };
  auto da2FromFactor = [&] { da2 = mn * (z1 - 2 * hf2 - 2 * x2); };
  auto df1FromRadius = [&] { df1 = RootDiameterExternal(sn1, rho1 * mn, pn, d1, gammaE); };
  auto da2FromDf1 = [&] { da2 = df1 + 2 * r.MinorClearanceFactor * mn; };
  auto df1FromDa2 = [&] { df1 = da2 - 2 * r.MinorClearanceFactor * mn; };

  const int input = r.MinorDiameterInput;
  switch (r.FitMode) {
    case 0:
      if (input == 0) {
        df1FromFactor(); da2FromFactor(); ciFromDiameters(); rho1FromDf1();
      } else if (input == 1) {
        ha1FromDf1(); rho1FromDf1(); hf2FromDa2(); ciFromDiameters();
      } else if (input == 2) {
        df1FromRadius(); ha1FromDf1(); hf2FromDa2(); ciFromDiameters();
      }
      break;
    case 1:
      if (input == 0) {
        df1FromFactor(); da2FromDf1(); rho1FromDf1(); hf2FromDa2();
      } else if (input == 1) {
        da2FromDf1(); ha1FromDf1(); rho1FromDf1(); hf2FromDa2();
      } else if (input == 2) {
        df1FromRadius(); da2FromDf1(); hf2FromDa2(); ha1FromDf1();
      }
      break;
    case 2:
      if (input == 0) {
        da2FromFactor(); df1FromDa2(); ha1FromDf1(); rho1FromDf1();
      } else if (input == 1 || input == 2) {
        df1FromDa2(); ha1FromDf1(); rho1FromDf1(); hf2FromDa2();
      }
      break;
    default:
      break;
  }
  r.MinorClearance = r.MinorClearanceFactor * mn;
}

// Working diameters of 0 cannot be cut; false when the calculation has to stop.
bool WorkingDiametersSet(const DesignRecord& r) {
  for (int i = 1; i <= 2; ++i) {
    if (r.RootDiameterInput[i] == 0) {
      Fatal(PartText(MsgDfZero, i));
      return false;
    }
    if (r.TipDiameterInput[i] == 0) {
      Fatal(PartText(MsgDaZero, i));
      return false;
    }
  }
  return true;
}

// How far a calculation goes: all of it; until the key values (see CalculateKeyValues) are final
// (no later step writes them); or every value a design file holds, without the other results and
// the checks (see CalculateStoredValues).
enum class Scope { All, KeyValues, StoredValues };

// The final result step (step 12); all false: only the values a design file holds (see
// CalculateStoredValues). Defined below.
void FinalResults(DesignRecord& r, bool all);

void RunCalculation(DesignRecord& r, Scope scope = Scope::All) {
  const bool keyOnly = scope == Scope::KeyValues;
  // 1. A fresh message list.
  Flags.AbortFlag = false;
  Flags.FatalError = false;
  ResetErrors();
  // 2.-4. Angles, flank angle of the hub, module and pitch.
  if (!AnglesByCode(r)) return;
  if (r.FlankAngleInternal <= 0) {
    Fatal(MsgGammaI);
    return;
  }
  if (!ModuleByCode(r)) return;
  // 5. Input checks and base geometry.
  BaseGeometry(r);
  if (Flags.FatalError) return;
  // 6. Clearances of the derived fit modes.
  ClearancesByFitMode(r);
  // 7. Pin diameters asked for as standard ones, for x = 0. The key values need them only where
  // step 8 works from a pin dimension or a fit; the standard diameter never stops the calculation.
  const bool pinsNeeded = !keyOnly || r.FitMode == 1 || r.FitMode == 2 || r.XInputMode[1] == 3 ||
                          r.XInputMode[2] == 3;
  for (int i = 1; i <= 2 && pinsNeeded; ++i) {
    if (r.PinDiameter[i] == 0)
      r.PinDiameter[i] = StandardBallDiameter(Settings.UnitSystem, r.ToothCount[i],
                                              r.PressureAngle, 0, r.NormalModule);
  }
  if (Flags.FatalError) return;
  // 8. Profile shifts.
  ProfileShiftsByFitMode(r);
  if (Flags.FatalError || keyOnly) return;
  // 9.-10. Diameter groups with their tool factors and clearances.
  MajorDiameterGroup(r);
  MinorDiameterGroup(r);
  // 11. Working diameters.
  if (!WorkingDiametersSet(r)) return;
  // 12. Final results; the messages collected so far are discarded.
  FinalResults(r, scope == Scope::All);
  if (Flags.FatalError) return;
  // 13. Flank clearance of two given parts.
  if (r.FitMode == 0) {
    r.FlankClearance = r.SpaceWidth[2] - r.ToothThickness[1];
    r.FlankClearanceFactor = r.FlankClearance / r.NormalModule;
  }
  // 14. Plausibility checks.
  if (scope == Scope::All) CheckResults(r);
}

}  // namespace

void CheckBasicInputs(DesignRecord& r) {
  ResetErrors();
  if (!(r.PressureAngleDeg > 5 && r.PressureAngleDeg < 90)) Fatal(MsgAlpha);
  if (r.DiametralPitch == 0) Fatal(MsgPnZero);
  for (int i = 1; i <= 2; ++i) {
    // A negative shaft tooth count is as unusable as none; the hub's is negative by design.
    const bool missing = i == 1 ? r.ToothCount[1] <= 0 : r.ToothCount[2] == 0;
    if (missing) Fatal(MsgZZero);
    if (r.ProfileShift[i] > 1.5L) AddError(MsgXHigh);
    if (r.ProfileShift[i] < -1.5L) AddError(MsgXLow);
  }
}

void BaseGeometry(DesignRecord& r) {
  CheckBasicInputs(r);
  if (Flags.FatalError) return;
  r.PressureAngle = r.PressureAngleDeg * Pi / 180;
  r.NormalPitch = Pi * r.NormalModule;
  r.ToothCount[2] = -r.ToothCount[1];
  for (int i = 1; i <= 2; ++i) {
    r.PitchDiameter[i] = r.ToothCount[i] * r.NormalModule;
    r.BaseDiameter[i] = r.PitchDiameter[i] * MemoCos(r.PressureAngle);
    if (r.SpaceWidthInput[i] == 0) r.SpaceWidthInput[i] = r.NormalPitch / 2;
    if (r.ToothThicknessInput[i] == 0) r.ToothThicknessInput[i] = r.NormalPitch / 2;
  }
  r.FlankAngleExternal = 2 * r.PressureAngle;
  r.FlankAngleInternal = r.FlankAngleExternal - 2 * Pi / r.ToothCount[1];
  if (r.FlankAngleInternal <= 0) Fatal(MsgGammaI);
}

long double ShiftFromToothThickness(const DesignRecord& r, int part) {
  return ShiftForToothThickness(r.ToothThicknessInput[part], r.NormalModule, r.PressureAngle);
}

long double ShiftFromSpaceWidth(const DesignRecord& r, int part) {
  return ShiftForSpaceWidth(r.SpaceWidthInput[part], r.NormalModule, r.PressureAngle);
}

namespace {

// The search range of x for a pin dimension: where M(x) stops falling below 0 and stops
// growing above 0, within |x| <= 1.5, and the last values of M inside it.
struct ShiftBracket {
  long double xlo, mdrMin, xhi, mdrMax;
};

ShiftBracket FindBracket(const PinDimensionCurve& M) {
  ShiftBracket b{};
  const long double m0 = M(0);
  // Downwards until x reaches the limit or M stops falling (M at the limit itself is not used).
  long double x = 0;
  long double prev = m0;
  for (;;) {
    x -= ShiftIterationStep;
    if (x <= -ShiftIterationLimit) break;
    const long double mx = M(x);
    if (prev < mx) break;
    prev = mx;
  }
  b.xlo = x;
  b.mdrMin = prev;
  // Upwards until x reaches the limit or M stops growing.
  x = 0;
  prev = m0;
  for (;;) {
    x += ShiftIterationStep;
    if (x >= ShiftIterationLimit) break;
    const long double mx = M(x);
    if (prev > mx) break;
    prev = mx;
  }
  b.xhi = x;
  b.mdrMax = prev;
  return b;
}

// The bracket does not depend on the target, and the geometry window recalculates the same
// part over and over while only the pin dimension is typed: the last bracket of each part is
// kept with the values it was found for.
struct BracketMemo {
  bool used = false;
  int part = 0;
  std::int32_t z = 0;
  long double mn = 0, alpha = 0, Dm = 0;
  ShiftBracket bracket{};
};

ShiftBracket BracketFor(std::int32_t z, int part, long double mn, long double alpha,
                        long double Dm) {
  thread_local BracketMemo memo[3];
  BracketMemo& m = memo[part == 1 ? 1 : 2];
  if (m.used && m.part == part && m.z == z && m.mn == mn && m.alpha == alpha && m.Dm == Dm) return m.bracket;
  m.bracket = FindBracket(PinDimensionCurve(z, part, mn, alpha, Dm));
  m.used = true;
  m.part = part;
  m.z = z;
  m.mn = mn;
  m.alpha = alpha;
  m.Dm = Dm;
  return m.bracket;
}

}  // namespace

long double ShiftFromPinDimension(DesignRecord& r, int part) {
  const std::int32_t z = r.ToothCount[part];
  const long double mn = r.NormalModule, alpha = r.PressureAngle, Dm = r.PinDiameter[part];
  const PinDimensionCurve M(z, part, mn, alpha, Dm);
  const long double target = r.PinDimension[part];
  const ShiftBracket b = BracketFor(z, part, mn, alpha, Dm);
  long double xlo = b.xlo, xhi = b.xhi;
  const long double mdrMin = b.mdrMin, mdrMax = b.mdrMax;

  if (mdrMin > target) {
    Fatal(MsgMdRMin);
    return 0;
  }
  if (mdrMax < target) {
    Fatal(MsgMdRMax);
    return 0;
  }

  long double xm = 0;
  for (int round = 1;; ++round) {
    if (round > ShiftIterationRounds) {
      Fatal(MsgIteration + FloatStr(xm) + ")");
      return 0;
    }
    xm = (xlo + xhi) / 2;
    const long double mm = M(xm);
    if (target > mm)
      xlo = xm;
    else
      xhi = xm;
    if (std::fabs(target - mm) < ShiftIterationTolerance) return xm;
  }
}

void ProfileShiftByMode(DesignRecord& r, int part) {
  switch (r.XInputMode[part]) {
    case 0:
      r.ProfileShift[part] = 0;
      break;
    case 2:
      r.ProfileShift[part] =
          part == 1 ? ShiftFromToothThickness(r, 1) : ShiftFromSpaceWidth(r, 2);
      break;
    case 3:
      r.ProfileShift[part] = ShiftFromPinDimension(r, part);
      break;
    default:  // 1: given; unknown codes leave x as it is
      break;
  }
}

namespace {

// PinDimensionForPart; standard false leaves out the standard pin diameter (no file holds it).
void PinDimensionOfPart(DesignRecord& r, int part, bool standard) {
  const long double mn = r.NormalModule, alpha = r.PressureAngle;
  const long double x = r.ProfileShift[part];
  const int z = r.ToothCount[part];
  if (r.PinDiameter[part] == 0)
    r.PinDiameter[part] = StandardBallDiameter(Settings.UnitSystem, z, alpha, x, mn);
  if (Flags.FatalError) return;
  r.PinDimension[part] = PinDimensionForShift(z, part, mn, alpha, x, r.PinDiameter[part]);
  if (Flags.FatalError) return;
  if (standard)
    r.StandardPinDiameter[part] = StandardBallDiameter(Settings.UnitSystem, z, alpha, x, mn);
  r.ToothThicknessInput[part] = ToothThicknessFromShift(mn, alpha, x);
  r.NormalPitch = Pi * mn;
  r.SpaceWidthInput[part] = r.NormalPitch - r.ToothThicknessInput[part];
}

void FinalResults(DesignRecord& r, bool all) {
  Flags.AbortFlag = false;
  Flags.FatalError = false;
  ResetErrors();
  BaseGeometry(r);
  if (Flags.FatalError) return;
  PinDimensionOfPart(r, 1, all);
  PinDimensionOfPart(r, 2, all);
  if (Flags.FatalError) return;
  if (all) {
    CalculateToolDimensions(r);
    return;
  }
  // Of the tool dimensions only what a file holds (the pitch) and what the flank clearance of
  // two given parts is made of, each as CalculateToolDimensions makes it.
  const long double mn = r.NormalModule, pn = Pi * mn;
  r.NormalPitch = pn;
  r.DiametralPitch = 25.4L / mn;
  for (int i = 1; i <= 2; ++i) {
    r.ToothThickness[i] = ToothThicknessFromShift(mn, r.PressureAngle, r.ProfileShift[i]);
    r.SpaceWidth[i] = pn - r.ToothThickness[i];
  }
}

}  // namespace

void PinDimensionForPart(DesignRecord& r, int part) { PinDimensionOfPart(r, part, true); }

void RecalculateResults(DesignRecord& r) { FinalResults(r, true); }

void CalculateToolDimensions(DesignRecord& r) {
  const long double mn = r.NormalModule, alpha = r.PressureAngle;
  const long double pn = Pi * mn;
  r.NormalPitch = pn;
  r.DiametralPitch = 25.4L / mn;
  for (int i = 1; i <= 2; ++i) {
    const long double x = r.ProfileShift[i];
    const long double d = r.ToothCount[i] * mn;
    r.PitchDiameter[i] = d;
    r.ToothThickness[i] = ToothThicknessFromShift(mn, alpha, x);
    r.SpaceWidth[i] = pn - r.ToothThickness[i];
    r.ToolDedendum[i] = r.ToolDedendumFactor[i] * mn;
    r.ToolAddendum[i] = r.ToolAddendumFactor[i] * mn;
    r.ToolTipRadius[i] = r.ToolTipRadiusFactor[i] * mn;
    r.RootDiameter[i] = d - 2 * r.ToolAddendum[i] + 2 * x * mn;
    r.TipDiameter[i] = r.RootDiameter[i] + 2 * (r.ToolDedendum[i] + r.ToolAddendum[i]);
    r.BaseDiameter[i] = d * MemoCos(alpha);
    r.ToothHeight[i] = (r.TipDiameter[i] - r.RootDiameter[i]) / 2;
    r.PinMeasurement[i] = PinDimensionForShift(r.ToothCount[i], i, mn, alpha, x, r.PinDiameter[i]);
    r.DrawLength[i] = 15 * mn;
  }
  r.FormDiameter[1] =
      r.RootDiameter[1] + 2 * r.ToolTipRadius[1] * (1 - MemoSin(r.FlankAngleExternal / 2));
  r.FormDiameter[2] =
      r.RootDiameter[2] + 2 * r.ToolTipRadius[2] * (1 - MemoSin(r.FlankAngleInternal / 2));
  r.TipClearance[1] = -(r.TipDiameter[1] + r.RootDiameter[2]) / 2;
  r.TipClearance[2] = -(r.TipDiameter[2] + r.RootDiameter[1]) / 2;
  const long double d1 = r.PitchDiameter[1];
  r.MinRootDiameter[1] = RootDiameterExternal(r.ToothThickness[1], 0, pn, d1, r.FlankAngleExternal);
  r.MinRootDiameter[2] = -RootDiameterInternal(r.SpaceWidth[2], 0, d1, r.FlankAngleInternal);
}

void CheckResults(DesignRecord& r) {
  for (int i = 1; i <= 2; ++i) {
    if (PercentDeviation(r.PinDiameter[i], r.StandardPinDiameter[i]) > 20)
      AddError(PartText(MsgDmDin, i));
  }
  const long double sinAlpha = MemoSin(r.PressureAngle);
  if (r.MajorClearance < 0) AddError(MsgCeNeg);
  if (r.MajorClearance < (1 - sinAlpha) * r.ToolTipRadius[2]) AddError(MsgCeRf);
  if (r.MinorClearance < 0) AddError(MsgCiNeg);
  if (r.MinorClearance < (1 - sinAlpha) * r.ToolTipRadius[1]) AddError(MsgCiRf);
  if (r.FlankClearance < 0) AddError(MsgCpNeg);
  if (r.TipDiameter[1] < r.BaseDiameter[1]) AddError(MsgDbDa);
  for (int i = 1; i <= 2; ++i) {
    if (std::fabs(r.ProfileShift[i]) > 1.5L) AddError(PartText(MsgXPart, i, ") !"));
    if (r.ToolTipRadiusFactor[i] < 0)
      AddError(PartText(MsgRhoNeg, i));
    else if (r.MinRootDiameter[i] - r.RootDiameter[i] > RoundingAllowance(r.RootDiameter[i]))
      AddError(PartText(MsgDfMin, i));
  }
  if (r.FormDiameter[1] > std::fabs(r.TipDiameter[2])) AddError(MsgDFf1);
  if (r.TipDiameter[1] > std::fabs(r.FormDiameter[2])) AddError(MsgDFf2);
}

void CalculateSerration(DesignRecord& rec, ErrorListRecord& messages, bool& fatal) {
  MessageTarget target(messages, fatal);
  RunCalculation(rec);
  if (ScrubNonFinite(rec)) Fatal(MsgRange);
}

void CalculateKeyValues(DesignRecord& rec, ErrorListRecord& messages, bool& fatal) {
  MessageTarget target(messages, fatal);
  RunCalculation(rec, Scope::KeyValues);
  if (ScrubNonFinite(rec)) Fatal(MsgRange);
}

void CalculateStoredValues(DesignRecord& rec, ErrorListRecord& messages, bool& fatal) {
  MessageTarget target(messages, fatal);
  RunCalculation(rec, Scope::StoredValues);
  if (ScrubNonFinite(rec)) Fatal(MsgRange);
}

void CalculateSerration() { CalculateSerration(Design, Errors, Flags.FatalError); }

const std::vector<std::string>& CalculationMessages() {
  static const std::vector<std::string> texts = {
      MsgWalcode, MsgGammaI, MsgPitchZero, MsgMnZero, MsgAlpha,  MsgPnZero, MsgZZero,
      MsgXHigh,   MsgXLow,   MsgMdRMin,    MsgMdRMax, MsgIteration, MsgDfZero, MsgDaZero,
      MsgDmDin,   MsgCeNeg,  MsgCeRf,      MsgCiNeg,  MsgCiRf,   MsgCpNeg,  MsgDbDa,
      MsgXPart,   MsgRhoNeg, MsgDfMin,     MsgDFf1,   MsgDFf2,   MsgRange,  MsgDmMess};
  return texts;
}

const std::vector<std::string>& CalculationMessageKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> out;
    for (const auto& text : CalculationMessages()) {
      std::string key = text.substr(0, 14);
      bool seen = false;
      for (const auto& k : out) seen = seen || k == key;
      if (!seen) out.push_back(key);
    }
    return out;
  }();
  return keys;
}

}  // namespace qern
