// Tooth and pin formulas of the straight-flanked serration (see qernform.h).
#include "design/qernform.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "framework/utilmath.h"

namespace qern {

namespace {

// Keeps division by zero and overflow out of the design record.
inline long double Finite(long double v) { return std::isfinite(v) ? v : 0.0L; }

// The diameter at which the two straight flanks of the shaft's tooth space meet, relative to d.
inline long double ExternalApexFactor(long double theta, long double gamma) {
  return std::cos(theta) - std::sin(theta) / std::tan(gamma / 2);
}

inline long double InternalApexFactor(long double theta, long double gamma) {
  return std::cos(theta) + std::sin(theta) / std::tan(gamma / 2);
}

// An odd tooth count puts the two pins off the diameter by half a pitch.
inline long double PinSpanFactor(std::int32_t z) {
  if (IsEven(z)) return 1.0L;
  return std::cos(Pi / (2.0L * z));
}

}  // namespace

long double ToothThicknessFromShift(long double mn, long double alpha, long double x) {
  return Finite(mn * (Pi / 2 + 2 * x * std::tan(alpha)));
}

long double SpaceWidthFromShift(long double mn, long double alpha, long double x) {
  return Finite(Pi * mn - ToothThicknessFromShift(mn, alpha, x));
}

long double ShiftForToothThickness(long double sn, long double mn, long double alpha) {
  return Finite((sn / mn - Pi / 2) / (2 * std::tan(alpha)));
}

long double ShiftForSpaceWidth(long double en, long double mn, long double alpha) {
  return Finite(((Pi * mn - en) / mn - Pi / 2) / (2 * std::tan(alpha)));
}

long double RootDiameterExternal(long double sn, long double rho, long double pn, long double d,
                                 long double gamma) {
  const long double theta = (pn - sn) / d;
  return Finite(d * ExternalApexFactor(theta, gamma) + 2 * rho * (1 / std::sin(gamma / 2) - 1));
}

long double TipRadiusExternal(long double sn, long double df, long double pn, long double d,
                              long double gamma) {
  const long double theta = (pn - sn) / d;
  return Finite((df - d * ExternalApexFactor(theta, gamma)) / (2 / std::sin(gamma / 2) - 2));
}

long double RootDiameterInternal(long double en, long double rho, long double d, long double gamma) {
  const long double theta = en / d;
  return Finite(d * InternalApexFactor(theta, gamma) + 2 * rho * (1 - 1 / std::sin(gamma / 2)));
}

long double TipRadiusInternal(long double en, long double df, long double d, long double gamma) {
  const long double theta = en / d;
  return Finite((std::fabs(df) - d * InternalApexFactor(theta, gamma)) /
                (2 - 2 / std::sin(gamma / 2)));
}

long double PinDimensionExternal(std::int32_t z, long double sn, long double pn, long double d,
                                 long double gamma, long double Dm) {
  const long double theta = (pn - sn) / d;
  const long double r = d / 2;
  const long double H = r - (r * std::sin(theta) / std::tan(gamma / 2) + r * (1 - std::cos(theta)));
  const long double Q = (Dm / 2) / std::sin(gamma / 2);
  return Finite(2 * (H + Q) * PinSpanFactor(z) + Dm);
}

long double PinDimensionInternal(std::int32_t z, long double en, long double d, long double gamma,
                                 long double Dm) {
  const long double theta = en / d;
  const long double r = d / 2;
  const long double H = r + r * std::sin(theta) / std::tan(gamma / 2) - r * (1 - std::cos(theta));
  const long double Q = (Dm / 2) / std::sin(gamma / 2);
  return Finite(2 * (H - Q) * PinSpanFactor(z) - Dm);
}

long double PinDimensionForShift(std::int32_t z, std::int32_t part, long double mn,
                                 long double alpha, long double x, long double Dm) {
  if (z == 0 || mn == 0 || (part != 1 && part != 2)) return 0;
  const std::int32_t za = z < 0 ? -z : z;
  const long double pn = Pi * mn;
  const long double d = z * mn;
  const long double gammaE = 2 * alpha;
  const long double gammaI = 2 * alpha - 2 * Pi / za;
  const long double sn = mn * (Pi / 2 + 2 * x * std::tan(alpha));
  const long double en = pn - sn;
  if (part == 1) return PinDimensionExternal(za, sn, pn, d, gammaE, Dm);
  return -PinDimensionInternal(za, en, std::fabs(d), gammaI, Dm);
}

long double StandardBallDiameter(int unitSystem, long double z, long double alpha, long double x,
                                 long double mn) {
  const char* const name = "Error: DmMess";
  const long double num = z * std::cos(alpha);
  const long double den = z + 2 * x;
  const long double c = num / den;
  if (den == 0 || !std::isfinite(c)) {
    // The contact circle has no size: out of range like an arccos argument beyond 1.
    const long double inf = std::numeric_limits<long double>::infinity();
    ArcCosChecked(name, num < 0 ? -inf : inf);
    return 0;
  }
  const long double A = ArcCosChecked(name, c);
  if (A == 0) return 0;
  const long double B = (Pi - 4 * x * std::tan(alpha)) / 2 / z + (std::tan(A) - Involute(alpha));
  long double Dm = Finite(z * mn * std::cos(alpha) * (std::tan(B) - std::tan(A)));
  if (Dm >= 0.5L) {
    if (unitSystem == 1)
      Dm = RoundDecimals(Dm / 25.4L, 3) * 25.4L;
    else
      Dm = RoundDecimals(Dm, 1);
  }
  return Finite(Dm);
}

}  // namespace qern
