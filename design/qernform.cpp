// Tooth and pin formulas of the straight-flanked serration (see qernform.h).
#include "design/qernform.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "design/trigmemo.h"
#include "framework/utilmath.h"

namespace qern {

namespace {

// Bit-identical for the purpose of remembering a result: equal, and the same zero.
inline bool Same(long double a, long double b) {
  return a == b && (a != 0 || std::signbit(a) == std::signbit(b));
}

// Keeps division by zero and overflow out of the design record.
inline long double Finite(long double v) { return std::isfinite(v) ? v : 0.0L; }

// The diameter at which the two straight flanks of the shaft's tooth space meet, relative to d.
inline long double ExternalApexFactor(long double theta, long double gamma) {
  long double s, c;
  MemoSinCos(theta, s, c);
  return c - s / MemoTan(gamma / 2);
}

inline long double InternalApexFactor(long double theta, long double gamma) {
  long double s, c;
  MemoSinCos(theta, s, c);
  return c + s / MemoTan(gamma / 2);
}

// An odd tooth count puts the two pins off the diameter by half a pitch.
inline long double PinSpanFactor(std::int32_t z) {
  if (IsEven(z)) return 1.0L;
  return MemoCos(Pi / (2.0L * z));
}

// Dimension over pins of the shaft from the half space angle theta on the pitch radius r.
// Q = (Dm / 2) / sin(gamma / 2) is the distance from the flanks' meeting point to the pin centre.
inline long double PinCentreOffset(long double Dm, long double sinHalf) { return (Dm / 2) / sinHalf; }

inline long double ExternalPinDimension(long double theta, long double r, long double tanHalf,
                                        long double Q, long double span, long double Dm) {
  long double s, c;
  MemoSinCos(theta, s, c);
  const long double H = r - (r * s / tanHalf + r * (1 - c));
  return Finite(2 * (H + Q) * span + Dm);
}

// Dimension between pins of the hub (positive) from the half tooth angle theta.
inline long double InternalPinDimension(long double theta, long double r, long double tanHalf,
                                        long double Q, long double span, long double Dm) {
  long double s, c;
  MemoSinCos(theta, s, c);
  const long double H = r + r * s / tanHalf - r * (1 - c);
  return Finite(2 * (H - Q) * span - Dm);
}

}  // namespace

long double ToothThicknessFromShift(long double mn, long double alpha, long double x) {
  return Finite(mn * (Pi / 2 + 2 * x * MemoTan(alpha)));
}

long double SpaceWidthFromShift(long double mn, long double alpha, long double x) {
  return Finite(Pi * mn - ToothThicknessFromShift(mn, alpha, x));
}

long double ShiftForToothThickness(long double sn, long double mn, long double alpha) {
  return Finite((sn / mn - Pi / 2) / (2 * MemoTan(alpha)));
}

long double ShiftForSpaceWidth(long double en, long double mn, long double alpha) {
  return Finite(((Pi * mn - en) / mn - Pi / 2) / (2 * MemoTan(alpha)));
}

long double RootDiameterExternal(long double sn, long double rho, long double pn, long double d,
                                 long double gamma) {
  const long double theta = (pn - sn) / d;
  return Finite(d * ExternalApexFactor(theta, gamma) + 2 * rho * (1 / MemoSin(gamma / 2) - 1));
}

long double TipRadiusExternal(long double sn, long double df, long double pn, long double d,
                              long double gamma) {
  const long double theta = (pn - sn) / d;
  return Finite((df - d * ExternalApexFactor(theta, gamma)) / (2 / MemoSin(gamma / 2) - 2));
}

long double RootDiameterInternal(long double en, long double rho, long double d, long double gamma) {
  const long double theta = en / d;
  return Finite(d * InternalApexFactor(theta, gamma) + 2 * rho * (1 - 1 / MemoSin(gamma / 2)));
}

long double TipRadiusInternal(long double en, long double df, long double d, long double gamma) {
  const long double theta = en / d;
  return Finite((std::fabs(df) - d * InternalApexFactor(theta, gamma)) /
                (2 - 2 / MemoSin(gamma / 2)));
}

long double PinDimensionExternal(std::int32_t z, long double sn, long double pn, long double d,
                                 long double gamma, long double Dm) {
  return ExternalPinDimension((pn - sn) / d, d / 2, MemoTan(gamma / 2),
                              PinCentreOffset(Dm, MemoSin(gamma / 2)),
                              PinSpanFactor(z), Dm);
}

long double PinDimensionInternal(std::int32_t z, long double en, long double d, long double gamma,
                                 long double Dm) {
  return InternalPinDimension(en / d, d / 2, MemoTan(gamma / 2),
                              PinCentreOffset(Dm, MemoSin(gamma / 2)),
                              PinSpanFactor(z), Dm);
}

PinDimensionCurve::PinDimensionCurve(std::int32_t z, std::int32_t part, long double mn,
                                     long double alpha, long double Dm)
    : valid_(z != 0 && mn != 0 && (part == 1 || part == 2)), part_(part), mn_(mn), Dm_(Dm) {
  if (!valid_) return;
  pn_ = Pi * mn;
  d_ = part == 1 ? z * mn : std::fabs(z * mn);
  // The angle values depend on z and alpha only; each part keeps its last set.
  struct AngleSet {
    bool used = false;
    std::int32_t z = 0;
    long double alpha = 0, tanAlpha = 0, tanHalf = 0, sinHalf = 0, span = 0;
  };
  thread_local AngleSet last[3];
  AngleSet& a = last[part];
  if (!a.used || a.z != z || !Same(a.alpha, alpha)) {
    const std::int32_t za = z < 0 ? -z : z;
    const long double gamma = part == 1 ? 2 * alpha : 2 * alpha - 2 * Pi / za;
    a.tanAlpha = MemoTan(alpha);
    a.tanHalf = MemoTan(gamma / 2);
    a.sinHalf = MemoSin(gamma / 2);
    a.span = PinSpanFactor(za);
    a.z = z;
    a.alpha = alpha;
    a.used = true;
  }
  tanAlpha_ = a.tanAlpha;
  tanHalf_ = a.tanHalf;
  span_ = a.span;
  r_ = d_ / 2;
  Q_ = PinCentreOffset(Dm, a.sinHalf);
}

long double PinDimensionCurve::operator()(long double x) const {
  if (!valid_) return 0;
  const long double sn = mn_ * (Pi / 2 + 2 * x * tanAlpha_);
  if (part_ == 1) return ExternalPinDimension((pn_ - sn) / d_, r_, tanHalf_, Q_, span_, Dm_);
  const long double en = pn_ - sn;
  return -InternalPinDimension(en / d_, r_, tanHalf_, Q_, span_, Dm_);
}

long double PinDimensionForShift(std::int32_t z, std::int32_t part, long double mn,
                                 long double alpha, long double x, long double Dm) {
  if (part != 1 && part != 2) return 0;
  // The result steps ask for the same dimension twice per part (target and measurement).
  struct Remembered {
    bool used = false;
    std::int32_t z = 0;
    long double mn = 0, alpha = 0, x = 0, Dm = 0, M = 0;
  };
  thread_local Remembered last[3];
  Remembered& m = last[part];
  if (m.used && m.z == z && Same(m.mn, mn) && Same(m.alpha, alpha) && Same(m.x, x) && Same(m.Dm, Dm))
    return m.M;
  const long double M = PinDimensionCurve(z, part, mn, alpha, Dm)(x);
  m = Remembered{true, z, mn, alpha, x, Dm, M};
  return M;
}

namespace {

long double ComputeStandardBallDiameter(int unitSystem, long double z, long double alpha,
                                        long double x, long double mn, bool& quiet) {
  const char* const name = "Error: DmMess";
  quiet = false;
  const long double num = z * MemoCos(alpha);
  const long double den = z + 2 * x;
  const long double c = num / den;
  if (den == 0 || !std::isfinite(c)) {
    // The contact circle has no size: out of range like an arccos argument beyond 1.
    const long double inf = std::numeric_limits<long double>::infinity();
    ArcCosChecked(name, num < 0 ? -inf : inf);
    return 0;
  }
  // Inside (-1, 1) the guarded arccos is the plain one; outside it reports and clamps.
  quiet = c > -1 && c < 1;
  const long double A = quiet ? MemoAcos(c) : ArcCosChecked(name, c);
  if (A == 0) return 0;
  // tan(alpha) - alpha is the involute of alpha.
  const long double B = (Pi - 4 * x * MemoTan(alpha)) / 2 / z + (MemoTan(A) - (MemoTan(alpha) - alpha));
  long double Dm = Finite(z * mn * MemoCos(alpha) * (MemoTan(B) - MemoTan(A)));
  if (Dm >= 0.5L) {
    if (unitSystem == 1)
      Dm = RoundDecimals(Dm / 25.4L, 3) * 25.4L;
    else
      Dm = RoundDecimals(Dm, 1);
  }
  return Finite(Dm);
}

}  // namespace

long double StandardBallDiameter(int unitSystem, long double z, long double alpha, long double x,
                                 long double mn) {
  // A calculation asks for the same few diameters (per part, for x = 0 and the final x) on
  // every run; results that added no message are kept for their exact arguments.
  struct Remembered {
    bool used = false;
    int unitSystem = 0;
    long double z = 0, alpha = 0, x = 0, mn = 0, Dm = 0;
  };
  thread_local Remembered last[4];
  thread_local unsigned next = 0;
  for (const Remembered& m : last) {
    if (m.used && m.unitSystem == unitSystem && Same(m.z, z) && Same(m.alpha, alpha) &&
        Same(m.x, x) && Same(m.mn, mn))
      return m.Dm;
  }
  bool quiet = false;
  const long double Dm = ComputeStandardBallDiameter(unitSystem, z, alpha, x, mn, quiet);
  if (quiet) {
    last[next] = Remembered{true, unitSystem, z, alpha, x, mn, Dm};
    next = (next + 1) % 4;
  }
  return Dm;
}

}  // namespace qern
