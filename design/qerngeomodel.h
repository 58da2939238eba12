// What the geometry input window shows and edits, without any window: its input fields and
// choices, how they map to the design record and back, which inputs the chosen modes enable,
// the proposals of its preset buttons and the lines of its result panel.
//
// Every field holds its value in the record's own terms (millimetres, radians, signed pin
// dimension of the hub) at full precision. The text shown is only a view of that value: a field
// takes a new value only when its text is edited, so showing a rounded number never rounds the
// design.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "design/qernvar.h"

namespace qern {

// The input fields, in the order in which they are copied into the record (the module comes
// before the tip radii, which are stored as multiples of it).
enum class GeoField : int {
  Pn,        // Edit_pn: diametral pitch, 1/in
  Mn,        // Edit_mn: normal module
  Alpha,     // Edit_wal: pressure angle, degrees
  GammaE,    // Edit_wgammae: flank angle of the shaft's space, degrees shown
  GammaI,    // Edit_wgammai: flank angle of the hub's tooth, degrees shown
  Z,         // SpinEdit_z: tooth count of the shaft; the hub gets -z
  Xe1,       // Edit_xe1, Edit_xe2: profile shifts
  Xe2,
  Mdr1,      // Edit_mdr1: dimension over pins of the shaft
  Mdr2,      // Edit_mdr2: dimension between pins of the hub, held negative
  Sn1,       // Edit_sn1: tooth thickness of the shaft
  En2,       // Edit_en2: space width of the hub
  Dmess1,    // Edit_dmess1, Edit_dmess2: measuring-pin diameters
  Dmess2,
  Fhf1,      // Edit_fhf1, Edit_fhf2: dedendum factors of the tool
  Fhf2,
  Fha1,      // Edit_fha1, Edit_fha2: addendum factors of the tool
  Fha2,
  Rf1,       // Edit_rf1, Edit_rf2: tool tip radius as a length (stored as a factor of mn)
  Rf2,
  Df1,       // Edit_df1, Edit_df2: root diameters
  Df2,
  Da1,       // Edit_da1, Edit_da2: tip diameters
  Da2,
  Ce,        // Edit_ce, Edit_ci, Edit_cp: clearances as lengths
  Ci,
  Cp,
  CeMn,      // Edit_cemn, Edit_cimn, Edit_cpmn: clearances as multiples of mn
  CiMn,
  CpMn,
};
constexpr int GeoFieldCount = 30;
constexpr int Index(GeoField f) { return static_cast<int>(f); }
constexpr GeoField FieldAt(int i) { return static_cast<GeoField>(i); }

// How a field's text is read and shown.
enum class GeoFieldKind {
  Number,  // plain number
  Length,  // millimetres, shown and typed in inches with the inch unit system
  Angle,   // radians, shown and typed in degrees
  Count,   // whole number
};
GeoFieldKind FieldKind(GeoField f);
// Object name of the field's control ("Edit_mn", "SpinEdit_z").
const char* FieldControlName(GeoField f);

// The radio buttons, radio groups and the check box. An index of -1 means no item is chosen
// (a code in the record that no item stands for); it leaves the record's code as it is, except
// for the profile-shift groups, where it stands for code 0 (x = 0).
struct GeometryChoices {
  int FitMode = 0;                   // 0 RadioButton_rad12, 1 rad1c, 2 rad2c
  std::array<int, 3> ShiftInput{};   // [1], [2]: RadioGroup_pm1, pm2 (0 x, 1 sn/en, 2 MdR)
  int PitchInput = 0;                // RadioGroup_mnpn (0 mn, 1 Pn)
  int AngleInput = 0;                // RadioGroup_wal (0 alpha, 1 gamma e, 2 gamma i)
  int MajorInput = 0;                // RadioGroup_de (0 he/mn, 1 de, 2 rf)
  int MinorInput = 0;                // RadioGroup_di (0 hi/mn, 1 di, 2 rf)
  bool ClearancesAsFactors = false;  // CheckBox_cmn
  friend bool operator==(const GeometryChoices&, const GeometryChoices&) = default;
};

// Everything the window holds: the choices and the value of every field.
struct GeometryInputs {
  GeometryChoices Choices;
  std::array<long double, GeoFieldCount> Value{};
};

// ---- Record <-> window ----------------------------------------------------------------------
GeometryChoices ChoicesFromDesign(const DesignRecord& rec);
// The value a field shows for the record (the tip radius as factor * mn, angles in radians).
long double FieldValueFromDesign(const DesignRecord& rec, GeoField f);
GeometryInputs InputsFromDesign(const DesignRecord& rec);
// Copies the choices and every field into the record, in the order of the fields (the body of
// ReadGeometryInputs). A tip radius is not converted while mn is 0.
void StoreInputs(const GeometryInputs& in, DesignRecord& rec);
void StoreChoices(const GeometryChoices& c, DesignRecord& rec);

// Text of a value in the field (current unit system and decimal separator, up to 7 significant
// digits); reading that text back gives the value shown.
std::string FieldText(GeoField f, long double value);
// The value a typed text stands for (inches to mm, degrees to radians, the hub's pin dimension
// made negative); text that is not a number counts as 0.
long double FieldValueFromText(GeoField f, const std::string& text);

// ---- Enable rules ---------------------------------------------------------------------------
// The fields the chosen modes use as inputs; all others show results of the calculation.
std::array<bool, GeoFieldCount> EnabledFields(const GeometryChoices& c);

// Preset buttons and the field whose state each shares.
enum class GeoPreset : int {
  Fhf1, Fhf2,  // dedendum factor 0.5 / tan alpha
  Rf1, Rf2,    // tip radius 0.25 mn
  CeMn, CiMn, CpMn,  // clearance factors 0.5, 0.5, 0.1
  Dmess1, Dmess2,    // standard pin diameter
  Da1, Da2,          // proposed tip diameters
  Xe1, Sn1, Mdr1,    // mirror the hub's profile shift onto the shaft
  Xe2, En2, Mdr2,    // mirror the shaft's profile shift onto the hub
};
constexpr int GeoPresetCount = 17;
GeoField PresetField(GeoPreset p);
std::string PresetControlName(GeoPreset p);  // "Button_fhf1", ...

// ---- Preset proposals -------------------------------------------------------------------------
constexpr long double MajorClearanceFactorPreset = 0.5L;
constexpr long double MinorClearanceFactorPreset = 0.5L;
constexpr long double FlankClearanceFactorPreset = 0.1L;
constexpr long double TipRadiusFactorPreset = 0.25L;

// Dedendum factor 0.5 / tan(alpha) for a pressure angle of 10 degrees or more; false below.
bool DedendumFactorPreset(long double alphaDeg, long double& factor);
// Tool tip radius 0.25 mn (a length).
long double TipRadiusPreset(const DesignRecord& rec);
// Standard measuring-pin diameter of a part for the record's mn, profile shift, pressure angle
// (from its degrees) and tooth count, in the current unit system's rounding.
long double PinDiameterPreset(const DesignRecord& rec, int part);
// Proposed tip diameter of a part (1 shaft, 2 hub), rounded to 2 decimals, from a calculated
// record; false when the fit mode has no proposal for that part (hub in fit mode 1, shaft in
// fit mode 2).
bool TipDiameterPreset(const DesignRecord& rec, int part, long double& da);

// The window's calculation of the global Design: CalculateSerration, then the range rule of the
// design file. A stored value that the reader would refuse stops the design as a fatal message
// does (no OK, no drawing, nothing saved), with one message naming each such value that was typed
// (or, when none was, each value the calculation derived) and its range.
void CalculateGeometry();

// The field that holds a stored value of this name (as the range check names it); false when the
// window has none.
bool FieldOfStoredValue(const std::string& name, GeoField& f);
// The range message of a stored value in the window's terms: lengths with their unit in the unit
// system shown, the flank angles in degrees, a tip radius as the length typed.
struct OutOfRangeValue;
std::string FieldRangeText(const OutOfRangeValue& v, const DesignRecord& rec);

// Mirrors the mate's profile shift onto part k (x_k := -x_other; both 0 when |x_k| >= 1.5),
// calculates the global Design once with both shifts taken as given, then puts the profile-
// shift codes back as the choices say.
void MirrorProfileShift(int k, const GeometryChoices& choices);

// ---- Results --------------------------------------------------------------------------------
// One line of the result panel: its caption and the values of shaft and hub as shown.
struct GeometryResultLine {
  std::string Caption;
  std::string Shaft, Hub;
};
std::vector<GeometryResultLine> GeometryResults(const DesignRecord& rec);
// "d = " + pitch diameter of the shaft with 3 decimals + " " + length unit.
std::string PitchDiameterText(const DesignRecord& rec);
// The characters a result value has in the panel; a longer one is shown in a short exponent form
// ("1.00E300") instead of being cut.
constexpr int ResultTextWidth = 12;
// A length with 3 decimals in at most ResultTextWidth characters.
std::string ResultLengthText(long double v);
// A hint text broken into lines of at most width characters (at blanks where it can).
std::string WrappedHint(const std::string& text, int width = 60);

}  // namespace qern
