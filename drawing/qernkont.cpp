// Part outlines and tooth geometry, drawn through the CAD output layer.
#include "drawing/qernkont.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "drawing/freihand.h"
#include "drawing/schraff.h"
#include "drawing/zorqcad.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"
#include "framework/vektor.h"

namespace qern {

namespace {

ToothVertex Mirror(const ToothVertex& v, long double bulge) { return {-v.x, v.y, bulge}; }

// The cosine and sine of the axis directions q pi / 2, q = -4 .. 8, made once: every box of a
// tooth's arcs looks at them.
struct AxisTurn {
  long double c, s;
};
const std::array<AxisTurn, 13>& AxisTurns() {
  static const std::array<AxisTurn, 13> turns = [] {
    std::array<AxisTurn, 13> t{};
    for (int q = -4; q <= 8; ++q) t[q + 4] = {std::cos(q * Pi / 2), std::sin(q * Pi / 2)};
    return t;
  }();
  return turns;
}

// Where the flank through the pitch point (px, py), running in direction (dx, dy) from the root
// towards the tip, meets the tip circle of radius r about the origin: of the two intersections
// the one nearest the pitch point (the other lies across the wheel). pitchOnTooth is false when
// that point lies behind the pitch point, i.e. the tip circle passes between root and pitch
// circle and the pitch point is no point of the tooth. A line that misses the circle ends at the
// pitch point.
struct FlankEnd {
  long double x = 0, y = 0;
  bool pitchOnTooth = true;
};
FlankEnd FlankTipPoint(long double px, long double py, long double dx, long double dy,
                       long double r) {
  long double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool none = false;
  IntersectLineCircle(x1, y1, x2, 0, 0, r, px, py, px + dx, py + dy, y2, none);
  if (none) return {px, py, true};
  const long double s1 = (x1 - px) * dx + (y1 - py) * dy, s2 = (x2 - px) * dx + (y2 - py) * dy;
  const bool first = std::fabs(s1) <= std::fabs(s2);
  const long double s = first ? s1 : s2;
  return {first ? x1 : x2, first ? y1 : y2, s > 1e-9L * r};
}

void EmitPolyline(const std::vector<ToothVertex>& v) {
  CadPolylineBegin(0);
  for (const ToothVertex& p : v) CadVertex(p.x, p.y, p.bulge);
  CadPolylineEnd();
}

}  // namespace

std::vector<ToothVertex> ShaftToothVertices(const DesignRecord& r) {
  const long double z1 = r.ToothCount[1];
  const long double psi = Pi / z1;
  const long double d1 = r.PitchDiameter[1], da1 = r.TipDiameter[1], df1 = r.RootDiameter[1];
  const long double phiS = 2 * (r.NormalPitch - r.ToothThickness[1]) / d1;
  const long double ge = r.FlankAngleExternal;
  const long double rho = r.ToolTipRadius[1];

  const ToothVertex t{da1 / 2 * std::sin(psi), da1 / 2 * std::cos(psi)};
  const ToothVertex p{d1 / 2 * std::sin(phiS / 2), d1 / 2 * std::cos(phiS / 2)};
  const ToothVertex g{rho * std::sin(Pi / 2 - ge / 2), df1 / 2 + rho * (1 - std::sin(ge / 2))};
  const FlankEnd e = FlankTipPoint(p.x, p.y, std::sin(ge / 2), std::cos(ge / 2), da1 / 2);
  const ToothVertex f{e.x, e.y};
  const long double tip = -ChordAngle(t.x, t.y, f.x, f.y, da1 / 2);

  std::vector<ToothVertex> v = {Mirror(t, tip), Mirror(f, 0), Mirror(g, Pi - ge), {g.x, g.y, 0}};
  // A tip circle inside the pitch circle: the flank ends before it reaches the pitch point.
  if (e.pitchOnTooth) v.push_back({p.x, p.y, 0});
  v.push_back({f.x, f.y, tip});
  v.push_back({t.x, t.y, 0});
  return v;
}

std::vector<ToothVertex> HubToothVertices(const DesignRecord& r) {
  const long double z1 = r.ToothCount[1];
  const long double psi = Pi / z1;
  const long double d1 = r.PitchDiameter[1];
  const long double rf = std::fabs(r.RootDiameter[2]) / 2, ra = std::fabs(r.TipDiameter[2]) / 2;
  const long double phiH = 2 * (r.NormalPitch - r.SpaceWidth[2]) / d1;
  const long double ge = r.FlankAngleExternal, gi = r.FlankAngleInternal;
  const long double rho = r.ToolTipRadius[2];

  const ToothVertex b{rf * std::sin(psi), rf * std::cos(psi)};
  const long double cx = (rf - rho) * std::sin(psi), cy = (rf - rho) * std::cos(psi);
  // The fillet turns from the root circle to the flank, which leans gamma_i/2 against the
  // radius through the middle of the space: pi/2 - gamma_i/2 keeps it tangent to both.
  const long double fillet = Pi / 2 - gi / 2;
  ToothVertex g;
  RotateAboutPoint(g.x, g.y, b.x, b.y, cx, cy, fillet);
  const ToothVertex p{d1 / 2 * std::sin(phiH / 2), d1 / 2 * std::cos(phiH / 2)};
  // The hub's tip lies towards the axis: the flank runs inwards from the root.
  const FlankEnd e = FlankTipPoint(p.x, p.y, -std::sin(ge / 2), -std::cos(ge / 2), ra);
  const ToothVertex f{e.x, e.y};
  const long double tip = -ChordAngle(-f.x, f.y, f.x, f.y, ra);

  // A tip circle outside the pitch circle: the flanks end before they reach the pitch points.
  if (!e.pitchOnTooth)
    return {Mirror(b, -fillet), Mirror(g, 0), Mirror(f, tip),     {f.x, f.y, 0},
            {g.x, g.y, -fillet}, {b.x, b.y, 0}};
  return {Mirror(b, -fillet), Mirror(g, 0), Mirror(p, 0),      Mirror(f, tip),
          {f.x, f.y, 0},      {p.x, p.y, 0}, {g.x, g.y, -fillet}, {b.x, b.y, 0}};
}

ToothBox ToothVerticesBox(const std::vector<ToothVertex>& v) {
  if (v.empty()) return {};
  ToothBox b{v[0].x, v[0].y, v[0].x, v[0].y};
  auto add = [&b](long double x, long double y) {
    b.xmin = std::min(b.xmin, x), b.xmax = std::max(b.xmax, x);
    b.ymin = std::min(b.ymin, y), b.ymax = std::max(b.ymax, y);
  };
  for (size_t i = 0; i < v.size(); ++i) {
    add(v[i].x, v[i].y);
    if (v[i].bulge == 0 || i + 1 == v.size()) continue;
    long double xc = 0, yc = 0, start = 0, end = 0, r = 0;
    GetArcCenter(xc, yc, start, v[i].x, v[i].y, v[i + 1].x, v[i + 1].y, v[i].bulge, end, r);
    if (end < start) end += 2 * Pi;
    // The arc runs counter-clockwise from start to end: the axis directions it passes.
    for (int q = -4; q <= 8; ++q)
      if (q * Pi / 2 > start && q * Pi / 2 < end) {
        const AxisTurn& t = AxisTurns()[q + 4];
        add(xc + r * t.c, yc + r * t.s);
      }
  }
  return b;
}

long double ToothVerticesReach(const std::vector<ToothVertex>& v) {
  long double reach = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    reach = std::max(reach, Hypot(v[i].x, v[i].y));
    if (v[i].bulge == 0 || i + 1 == v.size()) continue;
    long double xc = 0, yc = 0, start = 0, end = 0, r = 0;
    GetArcCenter(xc, yc, start, v[i].x, v[i].y, v[i + 1].x, v[i + 1].y, v[i].bulge, end, r);
    if (end < start) end += 2 * Pi;
    // The arc's farthest point lies in the direction of its centre, when its sweep passes there.
    const long double away = std::atan2(yc, xc);
    for (int k = -1; k <= 2; ++k)
      if (away + k * 2 * Pi > start && away + k * 2 * Pi < end)
        reach = std::max(reach, Hypot(xc, yc) + r);
  }
  return reach;
}

long double HubOutlineHalfHeight(const DesignRecord& r) {
  const long double da2 = std::fabs(r.TipDiameter[2]), df2 = std::fabs(r.RootDiameter[2]);
  const long double t = MinFloat(4 * r.NormalModule, da2 / 4);
  // The break line along the wall's outer edge wanders up to 2/5 t either way.
  return MaxFloat(0.75L * da2, df2 / 2 + 1.4L * t);
}

void ToothBlock(int part) {
  CadSetPen(5);
  if (part == 1 || part == 0) EmitPolyline(ShaftToothVertices(Design));
  if (part == 2 || part == 0) EmitPolyline(HubToothVertices(Design));
}

void ShaftOutline() {
  const DesignRecord& r = Design;
  const long double mn = r.NormalModule, l1 = r.DrawLength[1];
  const long double d1 = r.PitchDiameter[1], da1 = r.TipDiameter[1], df1 = r.RootDiameter[1];
  const long double a = 10 * mn;

  CadInsertBlock("WLSTUMP", 0, 0, 90, 1, 1);
  CadSetPen(1);
  CadLine(0, 0, 1.1L * a + l1, 0);
  SymmetricParallels(0.9L * a, 0, 1.1L * a + l1, d1);
  CadSetPen(2);
  SymmetricParallels(a, 0, a + l1, df1);
  CadSetPen(5);
  SymmetricParallels(0, 0, a + l1 - mn, da1);
  VLineCentred(a, 0, da1);
  VLineCentred(a + l1 - mn, 0, da1);
  VLineCentred(a + l1, 0, df1);
  SymmetricLines(a + l1 - mn, 0, a + l1, da1, df1);
  CadSetTextStyle(2, 0, l1 / 20, l1 / 30);
  CadSetPen(0);
  CadSetSymbolScale(da1 / 60);
  CadDimension(LengthStr(da1), "", "", a + l1, -da1 / 2, a + l1, da1 / 2, a + l1 + 0.4L * d1);
}

void HubOutline() {
  const DesignRecord& r = Design;
  const long double mn = r.NormalModule, l2 = r.DrawLength[2];
  const long double d2 = std::fabs(r.PitchDiameter[2]), da2 = std::fabs(r.TipDiameter[2]);
  const long double df2 = std::fabs(r.RootDiameter[2]);
  const long double t = MinFloat(4 * mn, da2 / 4), rr = df2 / 2;

  CadSetPen(1);
  CadLine(-mn, 0, l2 + mn, 0);
  SymmetricParallels(-2 * mn, 0, l2 + 2 * mn, d2);
  for (const long double s : {1.0L, -1.0L}) {
    ClearHatchPoints();
    AddHatchPoint(0, s * (rr + t));
    AddHatchPoint(0, s * rr);
    AddHatchPoint(l2, s * rr);
    CadSetPen(3);
    FreehandLine(true, l2, s * (rr + t), 0, s * (rr + t), t / 5);
    SetHatchMode(2);
    HatchPolygonPoints(0, 0, 45);
  }
  SetHatchMode(1);
  CadSetPen(5);
  SymmetricParallels(0, 0, l2, df2);
  SymmetricParallels(0, 0, l2, da2);
  VLineCentred(0, 0, 1.5L * da2);
  VLineCentred(l2, 0, 1.5L * da2);
  CadSetTextStyle(2, 0, r.TipDiameter[1] / 20, r.TipDiameter[1] / 30);
  CadSetPen(0);
  CadSetSymbolScale(df2 / 60);
  CadDimension(LengthStr(da2), "", "", l2, -da2 / 2, l2, da2 / 2, l2 + 0.2L * d2);
}

void DrawGearCircles(long double x, long double y, long double s) {
  const DesignRecord& r = Design;
  const long double df2 = std::fabs(r.RootDiameter[2]);
  CadSetPen(1);
  CadHLineCentred(x, y, df2 * s);
  CadVLineCentred(x, y, df2 * s);
  for (const long double d : {r.RootDiameter[1], df2, r.PitchDiameter[1], r.TipDiameter[1],
                              std::fabs(r.TipDiameter[2])})
    CadCircle(x, y, d / 2 * s);
}

}  // namespace qern
