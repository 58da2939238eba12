// Hatching (scanline over half-open edges), the shaft break symbol and symmetric contour lines.
#include "drawing/schraff.h"

#include <cmath>

#include "drawing/qsort2.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/utilmath.h"

namespace qern {

std::array<HatchPoint, MaxHatchPoints> HatchPoints;
int HatchPointCount = 0;
int HatchMode = 0;

void ClearHatchPoints() { HatchPointCount = 0; }

void AddHatchPoint(long double x, long double y) {
  if (HatchPointCount >= MaxHatchPoints) {
    ++HatchPointCount;
    AddError("Schraffurfehler");
    return;
  }
  HatchPoints[HatchPointCount++] = {x, y};
}

void SetHatchMode(int n) { HatchMode = n; }

std::vector<HatchSegment> HatchSegments(const std::vector<HatchPoint>& polygon,
                                        long double spacing, long double angleDeg) {
  std::vector<HatchSegment> lines;
  std::vector<HatchPoint> p = polygon;
  if (p.size() < 3 || angleDeg == 0) return lines;
  if (p.back().x != p.front().x || p.back().y != p.front().y) p.push_back(p.front());

  const long double a = DegToRad(angleDeg);
  const long double t = std::tan(a);
  // Every hatch line is y = t x + c; c of each vertex gives the range to sweep.
  std::vector<long double> c(p.size());
  long double cmin = 1e30L, cmax = -1e30L;
  for (size_t i = 0; i < p.size(); ++i) {
    c[i] = p[i].y - t * p[i].x;
    cmin = std::min(cmin, c[i]);
    cmax = std::max(cmax, c[i]);
  }
  const long double step = spacing == 0 ? (cmax - cmin) / 10 : spacing / std::cos(a);
  if (!(step > 0) || !std::isfinite(step)) return lines;
  // The range of c each edge i - 1 .. i spans, half-open: [min, max). An edge parallel to the
  // lines has an empty range. Set once for all lines.
  std::vector<long double> lo(p.size()), hi(p.size());
  for (size_t i = 1; i < p.size(); ++i) {
    lo[i] = std::min(c[i - 1], c[i]);
    hi[i] = std::max(c[i - 1], c[i]);
  }

  long double cc = cmin;
  std::array<HatchPoint, Qsort2Capacity> hit;  // the first n are this line's crossings
  for (int count = 0; count < MaxHatchLines; ++count) {
    cc += step;
    if (cc >= cmax) break;
    std::array<double, Qsort2Capacity> dist{};
    std::array<int, Qsort2Capacity> order{};
    int n = 0;
    for (size_t i = 1; i < p.size(); ++i) {
      if (!(cc >= lo[i] && cc < hi[i])) continue;
      const long double c1 = c[i - 1], c2 = c[i];
      if (n == Qsort2Capacity) {
        AddError("Fatal  : schraff schnittp");
        Flags.AbortFlag = true;
        return lines;
      }
      const long double u = (cc - c1) / (c2 - c1);
      hit[n] = {p[i - 1].x + u * (p[i].x - p[i - 1].x), p[i - 1].y + u * (p[i].y - p[i - 1].y)};
      ++n;
    }
    for (int k = 0; k < n; ++k)
      dist[k] = static_cast<double>(Hypot(hit[k].x - hit[0].x, hit[k].y - hit[0].y));
    Qsort2(dist, order, n);
    for (int k = 0; k + 1 < n; k += 2) {
      const HatchPoint& s = hit[order[k] - 1];
      const HatchPoint& e = hit[order[k + 1] - 1];
      // A line through a corner meets both of its edges there: nothing to draw (a line without
      // length is refused by CAD readers).
      if (Hypot(e.x - s.x, e.y - s.y) < HatchMinLength) continue;
      lines.push_back({s.x, s.y, e.x, e.y});
    }
  }
  return lines;
}

void HatchPolygonPoints(int n, long double spacing, long double angleDeg) {
  if (n == 0) n = HatchPointCount;
  if (n > MaxHatchPoints) {
    AddError("Fatal  : n schraff !");
    return;
  }
  n = std::min(n, HatchPointCount);
  if (n < 3) return;
  std::vector<HatchPoint> poly(HatchPoints.begin(), HatchPoints.begin() + n);

  if (HatchMode == 1) CadSetPen(5);
  if (HatchMode != 2) {
    CadPolylineBegin(0);
    for (const HatchPoint& q : poly) CadVertex(q.x, q.y, 0);
    if (poly.back().x != poly.front().x || poly.back().y != poly.front().y)
      CadVertex(poly.front().x, poly.front().y, 0);
    CadPolylineEnd();
  }
  if (HatchMode == 1 || HatchMode == 2) CadSetPen(3);
  for (const HatchSegment& s : HatchSegments(poly, spacing, angleDeg))
    CadLine(s.x1, s.y1, s.x2, s.y2);
}

namespace {
// Ordinates of the break curve along the radius, points 2..23.
constexpr std::array<long double, 22> BreakOrdinates = {
    0.043, 0.079, 0.129, 0.177, 0.221, 0.268, 0.321, 0.379, 0.464, 0.564, 0.618,
    0.714, 0.804, 0.846, 0.879, 0.914, 0.936, 0.954, 0.968, 0.979, 0.986, 0.9964};
}  // namespace

std::vector<HatchPoint> ShaftBreakPoints(long double x, long double y, long double d) {
  const long double r = d / 2, w = 0.15L * r;
  std::vector<HatchPoint> p(47);
  // Upper bulge: points 1..24.
  for (int i = 0; i <= 10; ++i) p[i].y = y + i * w / 11;
  p[11].y = y + 10.5L * w / 11;
  p[12].y = y + w;
  for (int k = 13; k <= 23; ++k) p[k].y = p[24 - k].y;  // points 14..24 = y of points 12..2
  p[0].x = x;
  for (int k = 1; k <= 22; ++k) p[k].x = x + BreakOrdinates[k - 1] * r;
  p[23].x = x + r;
  // Points 25..47: points 23..1 mirrored at y, so the outline returns below the axis.
  for (int k = 24; k <= 46; ++k) {
    const HatchPoint& m = p[46 - k];
    p[k] = {m.x, y - (m.y - y)};
  }
  return p;
}

void ShaftBreakSymbol(long double x, long double y, long double d) {
  SetHatchMode(1);
  ClearHatchPoints();
  const std::vector<HatchPoint> p = ShaftBreakPoints(x, y, d);
  for (const HatchPoint& q : p) AddHatchPoint(q.x, q.y);
  HatchPolygonPoints(static_cast<int>(p.size()), 0, 45);
  if (HatchMode == 1) CadSetPen(5);
  // Visible edge of the other half: points 2..24 mirrored at x.
  CadMoveTo(p[0].x, p[0].y);
  for (int k = 1; k <= 23; ++k) CadLineTo(x - (p[k].x - x), p[k].y);
}

void VLineCentred(long double x, long double y, long double length) {
  CadLine(x, y - length / 2, x, y + length / 2);
}

void SymmetricLines(long double x1, long double y, long double x2, long double d1, long double d2) {
  CadLine(x1, y - d1 / 2, x2, y - d2 / 2);
  CadLine(x1, y + d1 / 2, x2, y + d2 / 2);
}

void SymmetricParallels(long double x1, long double y, long double x2, long double d) {
  SymmetricLines(x1, y, x2, d, d);
}

}  // namespace qern
