// Math utilities: rounding, powers, guarded arccos, angles, comparisons and unit conversion.
#include "framework/utilmath.h"

#include <cmath>
#include <string>

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

long double DegToRad(long double x) { return x * Pi / 180; }

long double AngleDifference(long double a, long double b) {
  auto frac = [](long double v) { return v - std::trunc(v); };
  long double d = (frac(b / 360) - frac(a / 360)) * 360;
  return d < 0 ? d + 360 : d;
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

void RotateTranslate(long double& xr, long double& yr, long double x0, long double y0,
                     long double angleDeg, long double x, long double y) {
  // Block replays turn every point of an insert by the same angle: its cosine and sine once.
  thread_local long double lastAngle = 0, c = 1, s = 0;
  if (angleDeg != lastAngle || std::signbit(angleDeg) != std::signbit(lastAngle)) {
    const long double a = DegToRad(angleDeg);
    c = std::cos(a);
    s = std::sin(a);
    lastAngle = angleDeg;
  }
  xr = x0 + x * c - y * s;
  yr = y0 + y * c + x * s;
}

void ScaleRotateTranslate(long double& xr, long double& yr, long double sx, long double sy,
                          long double x0, long double y0, long double angleDeg, long double x,
                          long double y) {
  RotateTranslate(xr, yr, x0, y0, angleDeg, x * sx, y * sy);
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
