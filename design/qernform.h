// Closed tooth and pin formulas of a straight-flanked serration: tooth thickness and space
// width from the profile shift, root diameter <-> tool tip radius, dimension over or between
// two pins and the standard measuring-pin diameter. One part at a time, long double throughout.
//
// Angles in radians, lengths in millimetres. d is the shaft's (positive) pitch diameter z1 mn
// in every root-diameter and tip-radius formula, for the hub too; pn is pi mn. gamma is the
// included flank angle (gamma_e = 2 alpha for the shaft's space, gamma_i = gamma_e - 2 pi / z1
// for the hub's tooth). Every result is finite: a division by zero or an overflow gives 0.
#pragma once

#include <cstdint>

namespace qern {

// Tooth thickness on the pitch circle for profile shift x: mn (pi/2 + 2 x tan alpha).
long double ToothThicknessFromShift(long double mn, long double alpha, long double x);
// Space width on the pitch circle for profile shift x: pi mn - sn.
long double SpaceWidthFromShift(long double mn, long double alpha, long double x);
// Profile shift for a tooth thickness sn, and for a space width en.
long double ShiftForToothThickness(long double sn, long double mn, long double alpha);
long double ShiftForSpaceWidth(long double en, long double mn, long double alpha);

// Root diameter of the shaft cut by a tool of tip radius rho, and its inverse.
long double RootDiameterExternal(long double sn, long double rho, long double pn, long double d,
                                 long double gamma);
long double TipRadiusExternal(long double sn, long double df, long double pn, long double d,
                              long double gamma);
// Root diameter of the hub (positive) cut by a tool of tip radius rho, and its inverse; the
// inverse takes |df| so the hub's stored negative root diameter can be passed as it is.
long double RootDiameterInternal(long double en, long double rho, long double d, long double gamma);
long double TipRadiusInternal(long double en, long double df, long double d, long double gamma);

// Dimension over two pins of diameter Dm in two tooth spaces of the shaft (z > 0).
long double PinDimensionExternal(std::int32_t z, long double sn, long double pn, long double d,
                                 long double gamma, long double Dm);
// Dimension between two pins in two tooth spaces of the hub (z > 0, result positive).
long double PinDimensionInternal(std::int32_t z, long double en, long double d, long double gamma,
                                 long double Dm);
// M(x) of one part with everything that does not depend on x worked out once (the profile-shift
// iteration evaluates it a few hundred times); gives exactly PinDimensionForShift.
class PinDimensionCurve {
 public:
  PinDimensionCurve(std::int32_t z, std::int32_t part, long double mn, long double alpha,
                    long double Dm);
  long double operator()(long double x) const;

 private:
  bool valid_;
  std::int32_t part_;
  long double mn_, Dm_;
  long double pn_ = 0, d_ = 0, r_ = 0, tanAlpha_ = 0, tanHalf_ = 0, Q_ = 0, span_ = 0;
};

// Signed pin dimension of part 1 (over pins) or part 2 (between pins, negative) for profile
// shift x; the flank angles follow from alpha. Other parts, z = 0 or mn = 0 give 0.
long double PinDimensionForShift(std::int32_t z, std::int32_t part, long double mn,
                                 long double alpha, long double x, long double Dm);

// Standard measuring-pin diameter for a pin touching the flanks on the circle mn (z + 2x);
// z is signed (negative for the hub). Rounded (half to even) to 0.1 mm, or to 0.001 inch with
// unit system 1, when it is 0.5 mm or more. Out-of-range arccos arguments add
// "Error : Error: DmMess arccos(...)" to the error list; z + 2x = 0 counts as out of range.
long double StandardBallDiameter(int unitSystem, long double z, long double alpha, long double x,
                                 long double mn);

}  // namespace qern
