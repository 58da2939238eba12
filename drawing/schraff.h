// Hatching of a closed polygon with parallel lines, the break symbol of a round shaft and lines
// placed symmetrically about a horizontal axis: small tools on top of the CAD primitives.
#pragma once

#include <array>
#include <vector>

namespace qern {

constexpr int MaxHatchPoints = 100;

struct HatchPoint {
  long double x = 0, y = 0;
};

// The collected polygon: entries 0 .. min(HatchPointCount, 100) - 1. The count goes on rising
// past 100 (the surplus points are dropped) so that an overfull polygon is refused when hatched.
extern std::array<HatchPoint, MaxHatchPoints> HatchPoints;
extern int HatchPointCount;
// 1 outline in pen 5 and hatch lines in pen 3; 2 hatch lines only, in pen 3; else both in the
// current pen.
extern int HatchMode;

void ClearHatchPoints();
// A 101st point: "Schraffurfehler" in the error list; the point is dropped.
void AddHatchPoint(long double x, long double y);
void SetHatchMode(int n);

struct HatchSegment {
  long double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// The hatch lines of a closed polygon (the first point need not be repeated) at angleDeg with the
// given spacing (0: about ten lines across). Edges are half-open, so a vertex on a hatch line is
// counted once where the outline passes through it and twice or not at all at a peak. More than
// 10 crossings on one line: "Fatal  : schraff schnittp", AbortFlag, and the lines so far are kept.
// A polygon of fewer than 3 points, angle 0 or a step that is not positive give no lines; at most
// MaxHatchLines lines are made. A peak on a hatch line gives no line: pairs closer than
// HatchMinLength are dropped.
constexpr int MaxHatchLines = 10000;
constexpr long double HatchMinLength = 1e-9L;
std::vector<HatchSegment> HatchSegments(const std::vector<HatchPoint>& polygon,
                                        long double spacing, long double angleDeg);

// Hatches the first n collected points (0: all): the outline as one polyline (unless HatchMode is
// 2), then the hatch lines. More than 100 points: "Fatal  : n schraff !" and nothing is drawn.
void HatchPolygonPoints(int n, long double spacing, long double angleDeg);

// The 47 points of the hatched half of the shaft break symbol (along x from x to x + d/2).
std::vector<HatchPoint> ShaftBreakPoints(long double x, long double y, long double d);
// Break symbol of a round shaft of diameter d at (x, y): one half hatched with its outline, the
// edge of the other half as a line. Draws in HatchMode 1 whatever mode was left before.
void ShaftBreakSymbol(long double x, long double y, long double d);

// Line from (x, y - length/2) to (x, y + length/2).
void VLineCentred(long double x, long double y, long double length);
// Lines (x1, y -/+ d1/2) to (x2, y -/+ d2/2): the contour of a cylinder or cone in side view.
void SymmetricLines(long double x1, long double y, long double x2, long double d1, long double d2);
void SymmetricParallels(long double x1, long double y, long double x2, long double d);

}  // namespace qern
