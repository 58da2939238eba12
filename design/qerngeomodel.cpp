// The geometry window's fields and choices mapped to the design record and back, its enable
// rules, preset proposals and result lines.
#include "design/qerngeomodel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "design/qerncalc.h"
#include "design/qernform.h"
#include "design/qernio.h"
#include "framework/progvar.h"
#include "framework/utf8.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"

namespace qern {

namespace {

constexpr int ShownDigits = 7;

struct FieldInfo {
  const char* Name;
  GeoFieldKind Kind;
};

constexpr std::array<FieldInfo, GeoFieldCount> Fields = {{
    {"Edit_pn", GeoFieldKind::Number},      {"Edit_mn", GeoFieldKind::Length},
    {"Edit_wal", GeoFieldKind::Number},     {"Edit_wgammae", GeoFieldKind::Angle},
    {"Edit_wgammai", GeoFieldKind::Angle},  {"SpinEdit_z", GeoFieldKind::Count},
    {"Edit_xe1", GeoFieldKind::Number},     {"Edit_xe2", GeoFieldKind::Number},
    {"Edit_mdr1", GeoFieldKind::Length},    {"Edit_mdr2", GeoFieldKind::Length},
    {"Edit_sn1", GeoFieldKind::Length},     {"Edit_en2", GeoFieldKind::Length},
    {"Edit_dmess1", GeoFieldKind::Length},  {"Edit_dmess2", GeoFieldKind::Length},
    {"Edit_fhf1", GeoFieldKind::Number},    {"Edit_fhf2", GeoFieldKind::Number},
    {"Edit_fha1", GeoFieldKind::Number},    {"Edit_fha2", GeoFieldKind::Number},
    {"Edit_rf1", GeoFieldKind::Length},     {"Edit_rf2", GeoFieldKind::Length},
    {"Edit_df1", GeoFieldKind::Length},     {"Edit_df2", GeoFieldKind::Length},
    {"Edit_da1", GeoFieldKind::Length},     {"Edit_da2", GeoFieldKind::Length},
    {"Edit_ce", GeoFieldKind::Length},      {"Edit_ci", GeoFieldKind::Length},
    {"Edit_cp", GeoFieldKind::Length},      {"Edit_cemn", GeoFieldKind::Number},
    {"Edit_cimn", GeoFieldKind::Number},    {"Edit_cpmn", GeoFieldKind::Number},
}};

// The field whose state each preset button shares; the button is named after it
// ("Edit_fhf1" -> "Button_fhf1").
constexpr std::array<GeoField, GeoPresetCount> PresetFields = {
    GeoField::Fhf1, GeoField::Fhf2, GeoField::Rf1,    GeoField::Rf2,    GeoField::CeMn,
    GeoField::CiMn, GeoField::CpMn, GeoField::Dmess1, GeoField::Dmess2, GeoField::Da1,
    GeoField::Da2,  GeoField::Xe1,  GeoField::Sn1,    GeoField::Mdr1,   GeoField::Xe2,
    GeoField::En2,  GeoField::Mdr2,
};

// A value with up to ShownDigits significant digits, trailing zeros dropped, in the
// program's decimal separator.
std::string NumberText(long double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*Lg", ShownDigits, v);
  std::string s = buf;
  if (s == "-0") s = "0";
  std::string sep = DecimalSeparator();
  std::size_t dot = s.find('.');
  if (dot != std::string::npos && sep != ".") s.replace(dot, 1, sep);
  return s;
}

long double Clamped(long double v, long double lo, long double hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

}  // namespace

GeoFieldKind FieldKind(GeoField f) { return Fields[Index(f)].Kind; }
const char* FieldControlName(GeoField f) { return Fields[Index(f)].Name; }
GeoField PresetField(GeoPreset p) { return PresetFields[static_cast<int>(p)]; }
std::string PresetControlName(GeoPreset p) {
  return std::string("Button_") + (FieldControlName(PresetField(p)) + 5);  // after "Edit_"
}

// ---- Record <-> window ----------------------------------------------------------------------

GeometryChoices ChoicesFromDesign(const DesignRecord& rec) {
  GeometryChoices c;
  c.FitMode = rec.FitMode == 1 ? 1 : (rec.FitMode == 2 ? 2 : 0);
  for (int i = 1; i <= 2; ++i) {
    int code = rec.XInputMode[i];
    c.ShiftInput[i] = code >= 1 && code <= 3 ? code - 1 : -1;
  }
  c.PitchInput = rec.PitchInputMode == 1 || rec.PitchInputMode == 2 ? rec.PitchInputMode - 1 : -1;
  c.AngleInput = rec.AngleCode <= 2 ? rec.AngleCode : -1;
  c.MajorInput = rec.MajorDiameterInput <= 2 ? rec.MajorDiameterInput : -1;
  c.MinorInput = rec.MinorDiameterInput <= 2 ? rec.MinorDiameterInput : -1;
  c.ClearancesAsFactors = rec.ClearancesAsFactors;
  return c;
}

long double FieldValueFromDesign(const DesignRecord& rec, GeoField f) {
  switch (f) {
    case GeoField::Pn: return rec.DiametralPitch;
    case GeoField::Mn: return rec.NormalModule;
    case GeoField::Alpha: return rec.PressureAngleDeg;
    case GeoField::GammaE: return rec.FlankAngleExternal;
    case GeoField::GammaI: return rec.FlankAngleInternal;
    case GeoField::Z: return rec.ToothCount[1];
    case GeoField::Xe1: return rec.ProfileShift[1];
    case GeoField::Xe2: return rec.ProfileShift[2];
    case GeoField::Mdr1: return rec.PinDimension[1];
    case GeoField::Mdr2: return rec.PinDimension[2];
    case GeoField::Sn1: return rec.ToothThicknessInput[1];
    case GeoField::En2: return rec.SpaceWidthInput[2];
    case GeoField::Dmess1: return rec.PinDiameter[1];
    case GeoField::Dmess2: return rec.PinDiameter[2];
    case GeoField::Fhf1: return rec.ToolDedendumFactor[1];
    case GeoField::Fhf2: return rec.ToolDedendumFactor[2];
    case GeoField::Fha1: return rec.ToolAddendumFactor[1];
    case GeoField::Fha2: return rec.ToolAddendumFactor[2];
    case GeoField::Rf1: return rec.ToolTipRadiusFactor[1] * rec.NormalModule;
    case GeoField::Rf2: return rec.ToolTipRadiusFactor[2] * rec.NormalModule;
    case GeoField::Df1: return rec.RootDiameterInput[1];
    case GeoField::Df2: return rec.RootDiameterInput[2];
    case GeoField::Da1: return rec.TipDiameterInput[1];
    case GeoField::Da2: return rec.TipDiameterInput[2];
    case GeoField::Ce: return rec.MajorClearance;
    case GeoField::Ci: return rec.MinorClearance;
    case GeoField::Cp: return rec.FlankClearance;
    case GeoField::CeMn: return rec.MajorClearanceFactor;
    case GeoField::CiMn: return rec.MinorClearanceFactor;
    case GeoField::CpMn: return rec.FlankClearanceFactor;
  }
  return 0;
}

GeometryInputs InputsFromDesign(const DesignRecord& rec) {
  GeometryInputs in;
  in.Choices = ChoicesFromDesign(rec);
  for (int i = 0; i < GeoFieldCount; ++i) in.Value[i] = FieldValueFromDesign(rec, FieldAt(i));
  return in;
}

void StoreChoices(const GeometryChoices& c, DesignRecord& rec) {
  rec.FitMode = c.FitMode == 1 ? 1 : (c.FitMode == 2 ? 2 : 0);
  for (int i = 1; i <= 2; ++i)
    rec.XInputMode[i] = static_cast<std::uint16_t>(c.ShiftInput[i] >= 0 ? c.ShiftInput[i] + 1 : 0);
  if (c.PitchInput >= 0) rec.PitchInputMode = static_cast<std::uint16_t>(c.PitchInput + 1);
  if (c.AngleInput >= 0) rec.AngleCode = static_cast<std::uint16_t>(c.AngleInput);
  if (c.MajorInput >= 0) rec.MajorDiameterInput = static_cast<std::uint16_t>(c.MajorInput);
  if (c.MinorInput >= 0) rec.MinorDiameterInput = static_cast<std::uint16_t>(c.MinorInput);
  rec.ClearancesAsFactors = c.ClearancesAsFactors;
}

void StoreInputs(const GeometryInputs& in, DesignRecord& rec) {
  StoreChoices(in.Choices, rec);
  auto v = [&](GeoField f) { return in.Value[Index(f)]; };
  rec.DiametralPitch = v(GeoField::Pn);
  rec.NormalModule = v(GeoField::Mn);
  rec.PressureAngleDeg = v(GeoField::Alpha);
  rec.FlankAngleExternal = v(GeoField::GammaE);
  rec.FlankAngleInternal = v(GeoField::GammaI);
  auto z = static_cast<std::int32_t>(Clamped(std::round(v(GeoField::Z)), -1e9L, 1e9L));
  rec.ToothCount[1] = z;
  rec.ToothCount[2] = -z;
  rec.ProfileShift[1] = v(GeoField::Xe1);
  rec.ProfileShift[2] = v(GeoField::Xe2);
  rec.PinDimension[1] = v(GeoField::Mdr1);
  rec.PinDimension[2] = -std::fabs(v(GeoField::Mdr2));
  rec.ToothThicknessInput[1] = v(GeoField::Sn1);
  rec.SpaceWidthInput[2] = v(GeoField::En2);
  rec.PinDiameter[1] = v(GeoField::Dmess1);
  rec.PinDiameter[2] = v(GeoField::Dmess2);
  rec.ToolDedendumFactor[1] = v(GeoField::Fhf1);
  rec.ToolDedendumFactor[2] = v(GeoField::Fhf2);
  rec.ToolAddendumFactor[1] = v(GeoField::Fha1);
  rec.ToolAddendumFactor[2] = v(GeoField::Fha2);
  if (rec.NormalModule != 0) {
    rec.ToolTipRadiusFactor[1] = v(GeoField::Rf1) / rec.NormalModule;
    rec.ToolTipRadiusFactor[2] = v(GeoField::Rf2) / rec.NormalModule;
  }
  rec.RootDiameterInput[1] = v(GeoField::Df1);
  rec.RootDiameterInput[2] = v(GeoField::Df2);
  rec.TipDiameterInput[1] = v(GeoField::Da1);
  rec.TipDiameterInput[2] = v(GeoField::Da2);
  rec.MajorClearance = v(GeoField::Ce);
  rec.MinorClearance = v(GeoField::Ci);
  rec.FlankClearance = v(GeoField::Cp);
  rec.MajorClearanceFactor = v(GeoField::CeMn);
  rec.MinorClearanceFactor = v(GeoField::CiMn);
  rec.FlankClearanceFactor = v(GeoField::CpMn);
}

std::string FieldText(GeoField f, long double value) {
  switch (FieldKind(f)) {
    case GeoFieldKind::Count: return IntStr(static_cast<long long>(std::round(value)));
    case GeoFieldKind::Angle: return NumberText(RadToDeg(value));
    case GeoFieldKind::Length:
      return NumberText(Settings.UnitSystem == 1 ? value / 25.4L : value);
    case GeoFieldKind::Number: break;
  }
  return NumberText(value);
}

long double FieldValueFromText(GeoField f, const std::string& text) {
  long double v = 0;
  switch (FieldKind(f)) {
    case GeoFieldKind::Count: v = StrToLongint(TrimBlanks(text)); break;
    case GeoFieldKind::Angle: v = DegToRad(StrToReal(text)); break;
    case GeoFieldKind::Length: v = StrToLength(text); break;
    case GeoFieldKind::Number: v = StrToReal(text); break;
  }
  if (f == GeoField::Mdr2) v = -std::fabs(v);
  return v;
}

// ---- Enable rules ---------------------------------------------------------------------------

std::array<bool, GeoFieldCount> EnabledFields(const GeometryChoices& c) {
  std::array<bool, GeoFieldCount> on{};
  auto set = [&](GeoField f, bool b) { on[Index(f)] = b; };
  bool shaft = c.FitMode != 2;  // the shaft's inputs count unless it follows from the hub
  bool hub = c.FitMode != 1;
  set(GeoField::Mn, c.PitchInput == 0);
  set(GeoField::Pn, c.PitchInput == 1);
  set(GeoField::Alpha, c.AngleInput == 0);
  set(GeoField::GammaE, c.AngleInput == 1);
  set(GeoField::GammaI, c.AngleInput == 2);
  set(GeoField::Z, true);
  set(GeoField::Dmess1, true);
  set(GeoField::Dmess2, true);
  int major = c.MajorInput, minor = c.MinorInput;
  set(GeoField::Fhf1, shaft && major == 0);
  set(GeoField::Da1, shaft && (major == 1 || major == 2));
  set(GeoField::Fha2, hub && major == 0);
  set(GeoField::Df2, hub && major == 1);
  set(GeoField::Rf2, hub && major == 2);
  set(GeoField::Fha1, shaft && minor == 0);
  set(GeoField::Df1, shaft && minor == 1);
  set(GeoField::Rf1, shaft && minor == 2);
  set(GeoField::Fhf2, hub && minor == 0);
  set(GeoField::Da2, hub && (minor == 1 || minor == 2));
  bool clearances = c.FitMode != 0;
  for (GeoField f : {GeoField::CeMn, GeoField::CiMn, GeoField::CpMn})
    set(f, clearances && c.ClearancesAsFactors);
  for (GeoField f : {GeoField::Ce, GeoField::Ci, GeoField::Cp})
    set(f, clearances && !c.ClearancesAsFactors);
  set(GeoField::Xe1, shaft && c.ShiftInput[1] == 0);
  set(GeoField::Sn1, shaft && c.ShiftInput[1] == 1);
  set(GeoField::Mdr1, shaft && c.ShiftInput[1] == 2);
  set(GeoField::Xe2, hub && c.ShiftInput[2] == 0);
  set(GeoField::En2, hub && c.ShiftInput[2] == 1);
  set(GeoField::Mdr2, hub && c.ShiftInput[2] == 2);
  return on;
}

// ---- Preset proposals -------------------------------------------------------------------------

bool DedendumFactorPreset(long double alphaDeg, long double& factor) {
  if (!(alphaDeg >= 10)) return false;
  long double t = std::tan(DegToRad(alphaDeg));
  if (t == 0 || !std::isfinite(t)) return false;
  factor = 0.5L / t;
  return true;
}

long double TipRadiusPreset(const DesignRecord& rec) {
  return TipRadiusFactorPreset * rec.NormalModule;
}

long double PinDiameterPreset(const DesignRecord& rec, int part) {
  return StandardBallDiameter(Settings.UnitSystem, rec.ToothCount[part],
                              DegToRad(rec.PressureAngleDeg), rec.ProfileShift[part],
                              rec.NormalModule);
}

bool TipDiameterPreset(const DesignRecord& rec, int part, long double& da) {
  long double mn = rec.NormalModule;
  long double v = 0;
  if (rec.FitMode == 0) {
    if (part == 1)
      v = std::fabs(rec.RootDiameter[2]) - rec.ToolTipRadius[2] - 0.5L * mn;
    else
      v = rec.RootDiameter[1] + rec.ToolTipRadius[2] + 0.5L * mn;
  } else if (rec.FitMode == 1 && part == 1) {
    v = RootDiameterInternal(rec.NormalPitch / 2, 0, rec.PitchDiameter[1], rec.FlankAngleInternal) -
        2 * rec.MajorClearance - 0.5L * mn;
  } else if (rec.FitMode == 2 && part == 2) {
    v = RootDiameterExternal(rec.NormalPitch / 2, 0, rec.NormalPitch, rec.PitchDiameter[1],
                             rec.FlankAngleExternal) +
        2 * rec.MinorClearance + 0.5L * mn;
  } else {
    return false;
  }
  da = RoundDecimals(v, 2);
  return true;
}

bool FieldOfStoredValue(const std::string& name, GeoField& f) {
  static const std::pair<const char*, GeoField> names[] = {
      {"Pn", GeoField::Pn},         {"mn", GeoField::Mn},         {"alpha", GeoField::Alpha},
      {"gammae", GeoField::GammaE}, {"gammai", GeoField::GammaI}, {"z", GeoField::Z},
      {"x1", GeoField::Xe1},        {"x2", GeoField::Xe2},        {"MdR1", GeoField::Mdr1},
      {"MdR2", GeoField::Mdr2},     {"sn1", GeoField::Sn1},       {"en2", GeoField::En2},
      {"Dm1", GeoField::Dmess1},    {"Dm2", GeoField::Dmess2},    {"hf1/mn", GeoField::Fhf1},
      {"hf2/mn", GeoField::Fhf2},   {"ha1/mn", GeoField::Fha1},   {"ha2/mn", GeoField::Fha2},
      {"rf1/mn", GeoField::Rf1},    {"rf2/mn", GeoField::Rf2},    {"df1", GeoField::Df1},
      {"df2", GeoField::Df2},       {"da1", GeoField::Da1},       {"da2", GeoField::Da2},
      {"ce", GeoField::Ce},         {"ci", GeoField::Ci},         {"cp", GeoField::Cp},
      {"ce/mn", GeoField::CeMn},    {"ci/mn", GeoField::CiMn},    {"cp/mn", GeoField::CpMn},
  };
  for (const auto& [n, field] : names) {
    if (name != n) continue;
    f = field;
    return true;
  }
  return false;
}

std::string FieldRangeText(const OutOfRangeValue& v, const DesignRecord& rec) {
  GeoField f{};
  if (!FieldOfStoredValue(v.Name, f)) return OutOfRangeText(v);
  std::string name = v.Name, unit;
  long double scale = 1;
  switch (FieldKind(f)) {
    case GeoFieldKind::Length:
      unit = LengthUnitStr();
      if (Settings.UnitSystem == 1) scale = 1 / 25.4L;
      break;
    case GeoFieldKind::Angle: scale = RadToDeg(1.0L); break;
    default: break;
  }
  // The tip radius is typed as a length and kept as a multiple of the module.
  if ((f == GeoField::Rf1 || f == GeoField::Rf2) && rec.NormalModule > 0) {
    name = name.substr(0, 3);
    scale *= rec.NormalModule;
  } else if (f == GeoField::Rf1 || f == GeoField::Rf2) {
    unit.clear();
    scale = 1;
  }
  return RangeMessage(name, v.Value * scale, v.Lo * scale, v.Hi * scale, unit);
}

void CalculateGeometry() {
  CalculateSerration();
  if (Flags.FatalError) return;
  const std::vector<OutOfRangeValue> out = ValuesOutOfRange(Design);
  if (out.empty()) return;
  // A value typed out of range is named; what the calculation derives from it (Pn from mn) only
  // when no typed value is out of range.
  const std::array<bool, GeoFieldCount> typed = EnabledFields(ChoicesFromDesign(Design));
  auto isTyped = [&typed](const OutOfRangeValue& v) {
    GeoField f{};
    return FieldOfStoredValue(v.Name, f) && typed[Index(f)];
  };
  const bool anyTyped = std::any_of(out.begin(), out.end(), isTyped);
  for (const OutOfRangeValue& v : out)
    if (!anyTyped || isTyped(v)) AddError("Fatal  : " + FieldRangeText(v, Design));
  Flags.FatalError = true;
}

void MirrorProfileShift(int k, const GeometryChoices& choices) {
  int other = 3 - k;
  Design.ProfileShift[k] = -Design.ProfileShift[other];
  if (std::fabs(Design.ProfileShift[k]) >= 1.5L) {
    Design.ProfileShift[1] = 0;
    Design.ProfileShift[2] = 0;
  }
  // Both shifts count as given for this one run, so the other inputs follow from them.
  Design.XInputMode[1] = 1;
  Design.XInputMode[2] = 1;
  CalculateGeometry();
  for (int i = 1; i <= 2; ++i)
    Design.XInputMode[i] =
        static_cast<std::uint16_t>(choices.ShiftInput[i] >= 0 ? choices.ShiftInput[i] + 1 : 0);
}

// ---- Results --------------------------------------------------------------------------------

std::string ResultLengthText(long double v) {
  const std::string text = TrimBlanks(LengthStrDecimals(3, v));
  if (Utf8Length(text) <= ResultTextWidth || !std::isfinite(v)) return text;
  const long double shown = Settings.UnitSystem == 1 ? v / 25.4L : v;
  std::string s;
  for (int digits = 3; digits >= 0; --digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*LE", digits, shown);
    s = buf;
    // No "+" and no leading zeros in the exponent: "1.000E+05" -> "1.000E5".
    const std::size_t e = s.find('E');
    std::string exponent = s.substr(e + 1);
    const bool negative = exponent[0] == '-';
    exponent = exponent.substr(1);
    exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
    s = s.substr(0, e + 1) + (negative ? "-" : "") + exponent;
    if (static_cast<int>(s.size()) <= ResultTextWidth) break;
  }
  const std::string sep = DecimalSeparator();
  if (const std::size_t dot = s.find('.'); dot != std::string::npos && sep != ".")
    s.replace(dot, 1, sep);
  return s;
}

std::string WrappedHint(const std::string& text, int width) {
  int lineCount = 0, maxWidth = 0;
  WrapText(text, ' ', width, lineCount, maxWidth);
  std::string r;
  for (int i = 0; i < lineCount && i < static_cast<int>(Session.WrapLines.size()); ++i) {
    if (i > 0) r += '\n';
    r += TrimBlanks(Session.WrapLines[static_cast<std::size_t>(i)]);
  }
  return r;
}

std::vector<GeometryResultLine> GeometryResults(const DesignRecord& rec) {
  auto len = [](long double v) { return ResultLengthText(v); };
  auto line = [&](const char* caption, long double shaft, long double hub) {
    return GeometryResultLine{caption, len(shaft), len(hub)};
  };
  return {
      line("d", rec.PitchDiameter[1], rec.PitchDiameter[2]),
      line("db", rec.BaseDiameter[1], rec.BaseDiameter[2]),
      line("da", rec.TipDiameter[1], rec.TipDiameter[2]),
      line("df", rec.RootDiameter[1], rec.RootDiameter[2]),
      line("dFf", rec.FormDiameter[1], rec.FormDiameter[2]),
      line("dfmin", rec.MinRootDiameter[1], rec.MinRootDiameter[2]),
      line("sn / en", rec.ToothThickness[1], rec.SpaceWidth[2]),
      line("h", rec.ToothHeight[1], rec.ToothHeight[2]),
      line("c", rec.TipClearance[1], rec.TipClearance[2]),
      line("MdR", rec.PinMeasurement[1], rec.PinMeasurement[2]),
      line("Dm DIN", rec.StandardPinDiameter[1], rec.StandardPinDiameter[2]),
  };
}

std::string PitchDiameterText(const DesignRecord& rec) {
  return "d = " + ResultLengthText(rec.PitchDiameter[1]) + " " + LengthUnitStr();
}

}  // namespace qern
