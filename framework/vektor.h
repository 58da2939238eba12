// Plane geometry: arc centre from two points and a sweep, chord angle, quadratic roots,
// line-circle intersection. Rotations live in utilmath.h.
#pragma once

namespace qern {

// The arc from P1 to P2 with signed sweep dphi (radians, positive counter-clockwise).
// Writes centre, radius and the start/end directions so that the arc always runs
// counter-clockwise from phiStart to phiEnd. A zero half-sweep adds
// "Fehler in GetArcCenter (dphi = ..." to the error list and writes nothing.
void GetArcCenter(long double& xc, long double& yc, long double& phiStart, long double x1,
                  long double y1, long double x2, long double y2, long double dphi,
                  long double& phiEnd, long double& r);

// Central angle of the chord P1P2 in a circle of radius r.
long double ChordAngle(long double x1, long double y1, long double x2, long double y2,
                       long double r);

// Roots of a x^2 + b x + c (a <> 0); x1 takes +sqrt. No real root: noRoot, x1 = x2 = 0.
void QuadraticRoots(long double& x1, long double& x2, bool& noRoot, long double a, long double b,
                    long double c);

// Intersections of the line through A and B with the circle (xc, yc, r).
// No intersection: noPoint, all four outputs 0.
void IntersectLineCircle(long double& x1, long double& y1, long double& x2, long double xc,
                         long double yc, long double r, long double xA, long double yA,
                         long double xB, long double yB, long double& y2, bool& noPoint);

}  // namespace qern
