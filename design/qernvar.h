// The design record of one serrated shaft-hub connection, its default design and the
// drawing texts of the two parts.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qern {

// Per-part values are indexed like the parts: [1] shaft (external spline), [2] hub
// (internal spline). Entry [0] exists only so that the code reads part numbers directly;
// it is never read or written by the calculation and stays 0.
template <typename T>
using PerPart = std::array<T, 3>;

// The largest tooth count of a design (the geometry window's limit, checked on reading a file).
constexpr std::int32_t MaxToothCount = 9999;

// Hub sign convention: ToothCount[2] = -ToothCount[1], so the hub's pitch, base, root, tip,
// form and minimum root diameters and its dimension between pins are negative. The working
// diameters TipDiameterInput / RootDiameterInput are positive for both parts; thicknesses,
// widths, tool dimensions, clearances and pin diameters are positive too.
// Lengths in millimetres, angles in radians (except PressureAngleDeg).
struct DesignRecord {
  std::int32_t FitMode = 0;                 // 0 both parts given, 1 shaft + c, 2 hub + c
  PerPart<std::uint16_t> XInputMode{};      // 0 x=0, 1 x given, 2 from sn/en, 3 from pin dimension
  PerPart<long double> PinDimension{};      // MdR: over pins (1), between pins (2, negative)
  std::uint16_t PitchInputMode = 0;         // 1 mn given, 2 Pn given
  std::uint16_t AngleCode = 0;              // 0 alpha, 1 gamma_e, 2 gamma_i given
  std::uint16_t MajorDiameterInput = 0;     // da1/df2 group: 0 factors, 1 diameters, 2 tip radius
  std::uint16_t MinorDiameterInput = 0;     // da2/df1 group: 0 factors, 1 diameters, 2 tip radius
  PerPart<long double> StandardPinDiameter{};  // Dm DIN for the final x
  PerPart<long double> TipDiameterInput{};     // working da1, da2 (positive)
  PerPart<long double> RootDiameterInput{};    // working df1, df2 (positive)
  PerPart<long double> MinRootDiameter{};      // dfmin: root of a sharp-tipped tool
  PerPart<long double> ToothThicknessInput{};  // working sn
  PerPart<long double> SpaceWidthInput{};      // working en
  bool ClearancesAsFactors = false;            // clearances entered as multiples of mn
  long double MajorClearance = 0;              // ce
  long double MinorClearance = 0;              // ci
  long double FlankClearance = 0;              // cp
  long double MajorClearanceFactor = 0;        // ce/mn
  long double MinorClearanceFactor = 0;        // ci/mn
  long double FlankClearanceFactor = 0;        // cp/mn
  long double PressureAngleDeg = 0;            // alpha in degrees
  long double PressureAngle = 0;               // alpha in radians
  long double NormalModule = 0;                // mn
  long double NormalPitch = 0;                 // pn = pi mn
  long double DiametralPitch = 0;              // Pn = 25.4 / mn, teeth per inch
  PerPart<long double> ToolDedendumFactor{};   // hfP0/mn
  PerPart<long double> ToolTipRadiusFactor{};  // rhoaP0/mn
  PerPart<long double> ToolAddendumFactor{};   // haP0/mn
  PerPart<long double> ToolDedendum{};         // hfP0
  PerPart<long double> ToolAddendum{};         // haP0
  PerPart<long double> ToolTipRadius{};        // rhoaP0
  PerPart<long double> ToothHeight{};          // h = (da - df) / 2
  PerPart<long double> PinDiameter{};          // Dm; 0 asks for the standard diameter
  PerPart<long double> SpaceWidth{};           // en for the final x
  PerPart<long double> ToothThickness{};       // sn for the final x
  PerPart<long double> ProfileShift{};         // x
  PerPart<long double> PitchDiameter{};        // d = z mn
  PerPart<long double> BaseDiameter{};         // db = d cos alpha
  PerPart<long double> RootDiameter{};         // df (signed)
  PerPart<long double> TipDiameter{};          // da (signed)
  PerPart<long double> TipClearance{};         // c: [1] at the shaft tip, [2] at the hub tip
  PerPart<long double> PinMeasurement{};       // M over/between pins
  PerPart<long double> DrawLength{};           // 15 mn, drawn length of the part
  PerPart<long double> FormDiameter{};         // dFf (signed)
  PerPart<std::int32_t> ToothCount{};          // z; [2] is always -[1]
  long double FlankAngleExternal = 0;          // gamma_e, included angle of the shaft's space
  long double FlankAngleInternal = 0;          // gamma_i, included angle of the hub's tooth
};

// Calls f(long double&) on every real field of the record, per-part entries 0 to 2 included.
template <typename F>
void ForEachRealField(DesignRecord& r, F&& f) {
  auto each = [&](PerPart<long double>& a) {
    for (auto& v : a) f(v);
  };
  each(r.PinDimension);
  each(r.StandardPinDiameter);
  each(r.TipDiameterInput);
  each(r.RootDiameterInput);
  each(r.MinRootDiameter);
  each(r.ToothThicknessInput);
  each(r.SpaceWidthInput);
  f(r.MajorClearance);
  f(r.MinorClearance);
  f(r.FlankClearance);
  f(r.MajorClearanceFactor);
  f(r.MinorClearanceFactor);
  f(r.FlankClearanceFactor);
  f(r.PressureAngleDeg);
  f(r.PressureAngle);
  f(r.NormalModule);
  f(r.NormalPitch);
  f(r.DiametralPitch);
  each(r.ToolDedendumFactor);
  each(r.ToolTipRadiusFactor);
  each(r.ToolAddendumFactor);
  each(r.ToolDedendum);
  each(r.ToolAddendum);
  each(r.ToolTipRadius);
  each(r.ToothHeight);
  each(r.PinDiameter);
  each(r.SpaceWidth);
  each(r.ToothThickness);
  each(r.ProfileShift);
  each(r.PitchDiameter);
  each(r.BaseDiameter);
  each(r.RootDiameter);
  each(r.TipDiameter);
  each(r.TipClearance);
  each(r.PinMeasurement);
  each(r.DrawLength);
  each(r.FormDiameter);
  f(r.FlankAngleExternal);
  f(r.FlankAngleInternal);
}

// The one design of the program; lives for the whole run.
extern DesignRecord Design;

// Drawing texts of the two parts, indexed 1 and 2 like the record.
extern PerPart<std::string> PartDrawingName;    // default "External spline", "Internal spline"
extern PerPart<std::string> PartDrawingNumber;  // default "01", "02"
extern PerPart<std::string> PartDrawingName2;   // second name line, default empty

// Writes the default design into Design, sets the part names and numbers and empties the
// second name lines and the comment lines. Runs once at start-up (static initialisation of the design unit); calling it
// again starts from a zeroed record so the result is always exactly the default design.
void SetDefaultDesign();
// The record fields of the default design only (a scratch record; no global texts touched).
void SetDefaultDesign(DesignRecord& rec);

// gamma_e for part 1, gamma_i for part 2, 0 for any other number.
long double GetFlankAngle(const DesignRecord& rec, int part);
long double GetFlankAngle(int part);  // of Design

}  // namespace qern
