// Plane geometry: arc centre from two points and a sweep, chord angle, quadratic roots,
// line-circle intersection.
#include "framework/vektor.h"

#include <cmath>

#include "framework/progvar.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"

namespace qern {

void GetArcCenter(long double& xc, long double& yc, long double& phiStart, long double x1,
                  long double y1, long double x2, long double y2, long double dphi,
                  long double& phiEnd, long double& r) {
  long double h = dphi / 2;
  if (std::sin(h) == 0) {
    AddError("Fehler in GetArcCenter (dphi = " + FloatStr(dphi) + " ! ");
    return;
  }
  long double c = Hypot(y2 - y1, x2 - x1);
  long double mx = (x1 + x2) / 2, my = (y1 + y2) / 2;
  long double t = std::sin(dphi) == 0 ? 0 : c / 2 / std::tan(h);
  r = std::fabs(c / 2 / std::sin(h));
  if (c == 0) {
    xc = mx;
    yc = my;
  } else {
    xc = mx - (y2 - y1) * t / c;
    yc = my + (x2 - x1) * t / c;
  }
  long double a1 = ArcTanXY(x1 - xc, y1 - yc);
  long double a2 = ArcTanXY(x2 - xc, y2 - yc);
  if (dphi >= 0) {
    phiStart = a1;
    phiEnd = a2;
  } else {
    phiStart = a2;
    phiEnd = a1;
  }
}

long double ChordAngle(long double x1, long double y1, long double x2, long double y2,
                       long double r) {
  long double dx = x2 - x1, dy = y2 - y1;
  return ArcCosine(1 - (dx * dx + dy * dy) / (2 * r * r));
}

void QuadraticRoots(long double& x1, long double& x2, bool& noRoot, long double a, long double b,
                    long double c) {
  long double d = b * b - 4 * a * c;
  if (d >= 0) {
    noRoot = false;
    long double s = std::sqrt(d);
    x1 = (-b + s) / (2 * a);
    x2 = (-b - s) / (2 * a);
  } else {
    noRoot = true;
    x1 = x2 = 0;
  }
}

void IntersectLineCircle(long double& x1, long double& y1, long double& x2, long double xc,
                         long double yc, long double r, long double xA, long double yA,
                         long double xB, long double yB, long double& y2, bool& noPoint) {
  if (xB == xA) {
    x1 = xA;
    x2 = xB;
    long double q = r * r - (xA - xc) * (xA - xc);
    if (q >= 0) {
      y1 = yc + std::sqrt(r * r - (x1 - xc) * (x1 - xc));
      y2 = yc - std::sqrt(r * r - (x2 - xc) * (x2 - xc));
      noPoint = false;
    } else {
      y1 = y2 = 0;
      noPoint = true;
    }
    return;
  }
  long double m = (yB - yA) / (xB - xA);
  long double k = yA - m * xA;
  bool noRoot = false;
  QuadraticRoots(x1, x2, noRoot, m * m + 1, 2 * ((k - yc) * m - xc),
                 (k - yc) * (k - yc) + xc * xc - r * r);
  if (noRoot) {
    noPoint = true;
    x1 = y1 = x2 = y2 = 0;
    return;
  }
  noPoint = false;
  y1 = m * x1 + k;
  y2 = m * x2 + k;
}

}  // namespace qern
