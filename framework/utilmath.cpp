// Math utilities: rounding, powers, guarded arccos, angles, comparisons and unit conversion.
#include "framework/utilmath.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "framework/progvar.h"
#include "framework/utilstr.h"

namespace qern {

long double RoundHalfEven(long double x) {
  long double r = std::floor(x);
  long double diff = x - r;
  if (diff > 0.5L) return r + 1;
  if (diff < 0.5L) return r;
  return std::fmod(r, 2.0L) == 0 ? r : r + 1;
}

long double RoundDecimals(long double x, int n) {
  long double p = IntPower(10, n);
  return RoundHalfEven(x * p) / p;
}

long double IntPower(long double x, int n) {
  long double r = 1;
  for (int k = n < 0 ? -n : n; k > 0; --k) r *= x;
  return n < 0 ? 1 / r : r;
}

long double Power10(long double x) { return std::exp(x * std::log(10.0L)); }

long double Log10(long double x) { return x <= 0 ? 0 : std::log(x) / std::log(10.0L); }

long double FloorValue(long double x) { return std::floor(x); }

int DecadeExponent(long double x) {
  if (x == 0 || !std::isfinite(x)) return 0;
  long double a = std::fabs(x);
  int e = static_cast<int>(FloorValue(Log10(a)));
  // ln/ln can land a hair off at exact powers of ten; settle on the true decade.
  if (IntPower(10, e) > a) --e;
  else if (IntPower(10, e + 1) <= a) ++e;
  return e;
}

bool IsEven(long long n) { return n % 2 == 0; }

long double Tangent(long double x) { return std::tan(x); }

long double Involute(long double alpha) { return std::tan(alpha) - alpha; }

long double ArcCosine(long double x) {
  if (std::fabs(x) > 1) {
    AddError("Error: ArcCos " + GeneralFloatStr(x));
    return 0;
  }
  return std::acos(x);
}

long double ArcCosChecked(std::string_view name, long double x) {
  const long double tolerance = 1.0001L;
  auto report = [&] {
    AddError("Error : " + std::string(name) + " arccos(" + GeneralFloatStr(x) + ")");
  };
  if (x >= 1) {
    if (x > tolerance) report();
    return 0;
  }
  if (x <= -1) {
    if (x < -tolerance) report();
    return Pi;
  }
  return ArcCosine(x);
}

long double ArcTanXY(long double x, long double y) {
  if (x == 0) return y >= 0 ? Pi / 2 : -Pi / 2;
  long double a = std::atan(y / x);
  return x < 0 ? a + Pi : a;
}

long double ArcTanYX(long double y, long double x) { return ArcTanXY(x, y); }

void PolarToXY(long double& x, long double& y, long double r, long double phi) {
  x = r * std::cos(phi);
  y = r * std::sin(phi);
}

void XYToPolar(long double& r, long double& phi, long double x, long double y) {
  r = Hypot(x, y);
  phi = ArcTanXY(x, y);
}

long double Hypot(long double x, long double y) { return std::sqrt(x * x + y * y); }

long double RadToDeg(long double x) { return x * 180 / Pi; }


namespace {
// std::trunc without switching the rounding mode (which stalls the floating-point unit): rounded to
// the nearest whole number by adding 1.5 * 2^63, then moved one towards zero where it went past.
long double WholePart(long double v) {
  if (!(std::fabs(v) < 0x1p62L)) return std::trunc(v);
  long double t = (v + 0x1.8p63L) - 0x1.8p63L;
  if (v >= 0 ? t > v : t < v) t += v >= 0 ? -1 : 1;
  return std::copysign(t, v);
}
}  // namespace

long double AngleDifference(long double a, long double b) {
  auto frac = [](long double v) { return v - WholePart(v); };
  long double d = (frac(b / 360) - frac(a / 360)) * 360;
  return d < 0 ? d + 360 : d;
}

namespace {
// How far from a whole turn the writers still take an arc for a full circle (degrees).
constexpr long double ArcTurnTolerance = 1e-5L;
}  // namespace

bool ArcAnglesWithinTurn(long double& startAngle, long double& endAngle) {
  if (!std::isfinite(startAngle) || !std::isfinite(endAngle)) return false;
  if (std::fabs(endAngle - startAngle) > 360 + ArcTurnTolerance) {
    startAngle = std::fmod(startAngle, 360.0L);
    endAngle = std::fmod(endAngle, 360.0L);
  }
  return true;
}

long double ArcSweep(long double startAngle, long double endAngle) {
  if (!std::isfinite(startAngle) || !std::isfinite(endAngle)) return 0;
  long double d = std::fmod(endAngle - startAngle, 360.0L);
  if (d < 0) d += 360;
  return d <= ArcTurnTolerance || d >= 360 - ArcTurnTolerance ? 360 : d;
}

namespace {

// a + b as a rounded sum and its exact error.
inline void TwoSum(long double a, long double b, long double& s, long double& e) {
  const long double sum = a + b;
  const long double bb = sum - a;
  e = (a - (sum - bb)) + (b - bb);
  s = sum;
}

// pi / 2 in parts of 32 bits, whose multiples by a quadrant count below 2^20 are exact, and the
// rest.
constexpr long double kHalfPi[] = {0x1.921fb544p+0L, 0x1.0b4611a6p-34L, 0x1.3198a2e0p-69L,
                                   0x1.b839a252p-104L, 0x1.27044533e63a0106p-142L};
constexpr long double kTwoOverPi = 0x1.45f306dc9c882a54p-1L;

constexpr long double Factorial(int n) { return n <= 1 ? 1.0L : n * Factorial(n - 1); }
// The coefficients of the Taylor series from the highest power down: sin r = r + r z (-1/3! +
// z/5! - ...), cos r = 1 - z/2 + z^2 (1/4! - z/6! + ...) with z = r^2.
constexpr long double kSinTerms[] = {
    -1 / Factorial(19), 1 / Factorial(17), -1 / Factorial(15), 1 / Factorial(13),
    -1 / Factorial(11), 1 / Factorial(9),  -1 / Factorial(7),  1 / Factorial(5),
    -1 / Factorial(3)};
constexpr long double kCosTerms[] = {
    1 / Factorial(20), -1 / Factorial(18), 1 / Factorial(16), -1 / Factorial(14),
    1 / Factorial(12), -1 / Factorial(10), 1 / Factorial(8),  -1 / Factorial(6),
    1 / Factorial(4)};

}  // namespace

bool QuickSinCos(long double x, long double& s, long double& c) {
  if (!(std::fabs(x) < 0x1p20L)) return false;
  // The quadrant count: adding 1.5 * 2^63 rounds to a whole number, whose last bits are then the
  // last bits of the significand (read without converting, which would switch the rounding mode).
  const long double shifted = x * kTwoOverPi + 0x1.8p63L;
  const long double n = shifted - 0x1.8p63L;
  uint64_t significand;
  std::memcpy(&significand, &shifted, sizeof significand);
  // The reduced angle r = x - n pi/2 as rh + rl, to far more bits than a long double holds, also
  // where x lies close to a multiple of pi/2: the leading parts are taken off without rounding.
  long double t = x, e1, e2, e3;
  TwoSum(t, -n * kHalfPi[0], t, e1);
  TwoSum(t, -n * kHalfPi[1], t, e2);
  TwoSum(t, -n * kHalfPi[2], t, e3);
  const long double tail = ((e1 + e2) + e3) - n * kHalfPi[3] - n * kHalfPi[4];
  const long double rh = t + tail;
  const long double rl = tail - (rh - t);
  // Taylor series on |r| <= pi/4 (plus a rounding): the first term left out is below 2^-70 of
  // the result.
  const long double z = rh * rh;
  long double ps = kSinTerms[0], pc = kCosTerms[0];
  static_assert(std::size(kSinTerms) == std::size(kCosTerms));
#pragma GCC unroll 8
  for (std::size_t k = 1; k < std::size(kSinTerms); ++k) {
    ps = ps * z + kSinTerms[k];
    pc = pc * z + kCosTerms[k];
  }
  const long double sinR = rh + (rh * z * ps + rl);
  // 1 - z/2 with its rounding error kept, then the smaller terms.
  const long double hz = z / 2, w = 1 - hz;
  const long double cosR = w + (((1 - w) - hz) + (z * z * pc - rh * rl));
  switch (significand & 3) {
    case 0: s = sinR, c = cosR; break;
    case 1: s = cosR, c = -sinR; break;
    case 2: s = -sinR, c = -cosR; break;
    default: s = -cosR, c = sinR; break;
  }
  return true;
}

void SinCosDegrees(double deg, double& s, double& c) {
  constexpr double kRadians = static_cast<double>(Pi / 180);
  if (!(std::fabs(deg) < 0x1p50)) {
    const double a = deg * kRadians;
    s = std::sin(a), c = std::cos(a);
    return;
  }
  // The nearest count of quarter turns (adding 1.5 * 2^52 rounds to a whole number); the rest is
  // exact, deg and the whole multiple of 90 both being multiples of deg's last place.
  const double q = (deg / 90 + 0x1.8p52) - 0x1.8p52;
  const double r = (deg - q * 90) * kRadians;
  const double sr = std::sin(r), cr = std::cos(r);
  switch (static_cast<int64_t>(q) & 3) {
    case 0: s = sr, c = cr; break;
    case 1: s = cr, c = -sr; break;
    case 2: s = -sr, c = -cr; break;
    default: s = -cr, c = sr; break;
  }
}

void RotatePoint(long double& xr, long double& yr, long double x, long double y, long double phi) {
  long double c = std::cos(phi), s = std::sin(phi);
  xr = x * c - y * s;
  yr = x * s + y * c;
}

void RotateAboutPoint(long double& xr, long double& yr, long double x, long double y,
                      long double xc, long double yc, long double phi) {
  RotatePoint(xr, yr, x - xc, y - yc, phi);
  xr += xc;
  yr += yc;
}

namespace {
// The cosine and sine of an insert angle in degrees.
struct Turn {
  long double angle = 0, c = 1, s = 0;
  bool Of(long double a) const { return angle == a && std::signbit(angle) == std::signbit(a); }
};

// Turns computed during this drawing (since the last ForgetKeptTurns), by a hash of the angle's
// bits: a wheel inserts its tooth at the same angles as the other wheel.
struct KeptTurn {
  Turn turn;
  unsigned drawing = 0;  // the drawing it was computed in; 0: none
};
constexpr std::size_t kKeptTurns = 1024;
thread_local std::vector<KeptTurn> g_keptTurns;
thread_local unsigned g_drawing = 1;

std::size_t TurnSlot(long double a) {
  unsigned char bytes[sizeof a] = {};
  std::memcpy(bytes, &a, 10);  // the 80 bits of the value, not the padding
  uint64_t mantissa = 0;
  uint16_t exponent = 0;
  std::memcpy(&mantissa, bytes, 8);
  std::memcpy(&exponent, bytes + 8, 2);
  const uint64_t h = (mantissa ^ (uint64_t{exponent} << 48)) * 0x9E3779B97F4A7C15ULL;
  return static_cast<std::size_t>(h >> 54) % kKeptTurns;
}
}  // namespace

void ForgetKeptTurns() {
  if (++g_drawing == 0) {  // the count ran round: every slot is emptied instead
    g_keptTurns.assign(kKeptTurns, KeptTurn{});
    g_drawing = 1;
  }
}

void RotateTranslate(long double& xr, long double& yr, long double x0, long double y0,
                     long double angleDeg, long double x, long double y) {
  // Block replays turn every point of an insert by the same angle, and the insert's own point by
  // the angle of the block around it: the last two turns are at hand, earlier ones kept.
  thread_local Turn last[2];
  thread_local int older = 0;
  const Turn* t = last[0].Of(angleDeg) ? &last[0] : last[1].Of(angleDeg) ? &last[1] : nullptr;
  if (!t) {
    if (g_keptTurns.empty()) g_keptTurns.resize(kKeptTurns);
    KeptTurn& kept = g_keptTurns[TurnSlot(angleDeg)];
    if (kept.drawing != g_drawing || !kept.turn.Of(angleDeg)) {
      const long double a = DegToRad(angleDeg);
      kept = {{angleDeg, std::cos(a), std::sin(a)}, g_drawing};
    }
    last[older] = kept.turn;
    t = &last[older];
    older ^= 1;
  }
  xr = x0 + x * t->c - y * t->s;
  yr = y0 + y * t->c + x * t->s;
}

bool IsNearlyEqual(long double a, long double b) { return std::fabs(b - a) <= 1e-5L; }

bool IsBetween(long double x, long double a, long double b) {
  return (a < x && x < b) || (b < x && x < a);
}

long double MaxFloat(long double a, long double b) { return a > b ? a : b; }
long double MinFloat(long double a, long double b) { return a < b ? a : b; }
int MaxInteger(int a, int b) { return a > b ? a : b; }
int MinInteger(int a, int b) { return a < b ? a : b; }
int ClampInteger(int lo, int hi, int x) { return MinInteger(hi, MaxInteger(lo, x)); }

long double PercentDeviation(long double ref, long double value) {
  if (ref == 0) return 0;
  return std::fabs((value - ref) / ref) * 100;
}

long double InchToMm(long double x) { return x * 25.4L; }
long double MmToInch(long double x) { return x / 25.4L; }

}  // namespace qern
