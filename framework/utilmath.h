// Math utilities: rounding, powers, guarded arccos, angles, comparisons and unit conversion.
// Pure functions on long double; only the arccos guards report, through the error list.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace qern {

constexpr long double Pi = 3.141592653589793238462643383279502884L;

// Rounding, powers and logarithms.
long double RoundDecimals(long double x, int n);  // to n places, ties to even
long double IntPower(long double x, int n);
long double Power10(long double x);               // 10^x
long double Log10(long double x);                 // 0 for x <= 0
long double FloorValue(long double x);
int DecadeExponent(long double x);                // power of ten of the leading digit, 0 for 0
bool IsEven(long long n);
long double RoundHalfEven(long double x);         // the rounding every routine here uses

// Trigonometry and angles (radians unless the name says degrees).
long double Tangent(long double x);
long double Involute(long double alpha);          // tan(alpha) - alpha
long double ArcCosine(long double x);             // |x| > 1: 0 and "Error: ArcCos x"
long double ArcCosChecked(std::string_view name, long double x);  // tolerates |x| up to 1.0001
long double ArcTanXY(long double x, long double y);          // -pi/2 .. 3pi/2
long double ArcTanYX(long double y, long double x);
void PolarToXY(long double& x, long double& y, long double r, long double phi);
void XYToPolar(long double& r, long double& phi, long double x, long double y);
long double Hypot(long double x, long double y);
long double RadToDeg(long double x);
inline long double DegToRad(long double x) { return x * Pi / 180; }
long double AngleDifference(long double a, long double b);   // ccw sweep a -> b, degrees
// An arc's start and end angles (degrees) as every back end is to take them: false when either is
// no number (the arc is left out); angles more than a turn apart (beyond the writers' tolerance of
// a full circle) are each brought within a turn of zero, in degrees, keeping their directions.
bool ArcAnglesWithinTurn(long double& startAngle, long double& endAngle);
// The counter-clockwise sweep in degrees from start to end, in (0, 360]: directions that are the
// same (within the writers' tolerance) make a whole turn. 0 when either angle is no number.
long double ArcSweep(long double startAngle, long double endAngle);

// Sine and cosine of x (radians) in a few dozen steps, within QuickTrigUlps units in the last place
// of std::sin and std::cos; false for |x| >= 2^20 or not finite (nothing is set then).
constexpr int QuickTrigUlps = 4;
bool QuickSinCos(long double x, long double& s, long double& c);

// Sine and cosine of an angle in degrees, in double arithmetic (for the screen, whose pixels need
// no more): the angle is first brought exactly within 45 degrees of a whole quarter turn, so
// quarter turns give exact zeros and ones. Angles of 2^50 degrees or more, or not finite: the
// library's.
void SinCosDegrees(double deg, double& s, double& c);

// Rotation and transformation; results go to the first two arguments.
void RotatePoint(long double& xr, long double& yr, long double x, long double y, long double phi);
void RotateAboutPoint(long double& xr, long double& yr, long double x, long double y,
                      long double xc, long double yc, long double phi);
void RotateTranslate(long double& xr, long double& yr, long double x0, long double y0,
                     long double angleDeg, long double x, long double y);
// RotateTranslate keeps the cosine and sine of the angles it turned by; a drawing starts afresh.
void ForgetKeptTurns();
inline void ScaleRotateTranslate(long double& xr, long double& yr, long double sx, long double sy,
                                 long double x0, long double y0, long double angleDeg,
                                 long double x, long double y) {
  RotateTranslate(xr, yr, x0, y0, angleDeg, x * sx, y * sy);
}

// Comparisons and small helpers.
bool IsNearlyEqual(long double a, long double b);           // |b - a| <= 1e-5
bool IsBetween(long double x, long double a, long double b);  // bounds excluded, either order
long double MaxFloat(long double a, long double b);
long double MinFloat(long double a, long double b);
int MaxInteger(int a, int b);
int MinInteger(int a, int b);
int ClampInteger(int lo, int hi, int x);
long double PercentDeviation(long double ref, long double value);
long double InchToMm(long double x);
long double MmToInch(long double x);

}  // namespace qern
