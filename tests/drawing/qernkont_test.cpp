// Tooth geometry as geometry: vertices on their circles, root arc and fillets of the tool's tip
// radius, tangent to the flanks, for the default design and every shipped example; a tip circle on
// the far side of the pitch circle ends the flank at the near intersection.
#include "drawing/qernkont.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "design/qerncalc.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "framework/progvar.h"
#include "framework/utilmath.h"
#include "framework/vektor.h"
#include "tests/support/testutil.h"

using namespace qern;

namespace {

long double Radius(const ToothVertex& v) { return std::hypot(v.x, v.y); }

struct Arc {
  long double xc, yc, r;
};
Arc ArcFrom(const ToothVertex& a, const ToothVertex& b) {
  Arc arc{};
  long double ps = 0, pe = 0;
  GetArcCenter(arc.xc, arc.yc, ps, a.x, a.y, b.x, b.y, a.bulge, pe, arc.r);
  return arc;
}
// Angle between the arc's tangent at p and the line p -> q (0 = tangent).
long double TangentError(const Arc& arc, const ToothVertex& p, const ToothVertex& q) {
  const long double nx = p.x - arc.xc, ny = p.y - arc.yc;   // normal
  const long double dx = q.x - p.x, dy = q.y - p.y;          // line
  return std::fabs(nx * dx + ny * dy) / (std::hypot(nx, ny) * std::hypot(dx, dy));
}

std::vector<DesignRecord> Designs() {
  std::vector<DesignRecord> all;
  DesignRecord r;
  SetDefaultDesign(r);
  ErrorListRecord m;
  bool fatal = false;
  CalculateSerration(r, m, fatal);
  all.push_back(r);
  for (const auto& e : std::filesystem::directory_iterator(QERN_SOURCE_DATA "/examples")) {
    Flags.AbortFlag = false;
    Flags.ErrorBoxesEnabled = false;
    ReadDataFile(e.path().string());
    Flags.ErrorBoxesEnabled = true;
    if (!Flags.AbortFlag && !Flags.FatalError) all.push_back(Design);
  }
  SetDefaultDesign();
  ResetErrors();
  return all;
}

TEST(ToothGeometry, ShaftPitchLiesOnItsCircles) {
  const std::vector<DesignRecord> designs = Designs();
  ASSERT_GE(designs.size(), 4u);
  for (const DesignRecord& r : designs) {
    const std::vector<ToothVertex> v = ShaftToothVertices(r);
    ASSERT_EQ(v.size(), 7u);
    const long double ra = r.TipDiameter[1] / 2, rho = r.ToolTipRadius[1];
    for (int i : {0, 1, 5, 6}) EXPECT_NEAR(Radius(v[i]), ra, 1e-9) << i;
    EXPECT_NEAR(Radius(v[4]), r.PitchDiameter[1] / 2, 1e-9);
    // The flank meets the root arc on the form circle.
    EXPECT_NEAR(2 * Radius(v[3]), r.FormDiameter[1], 0.005);
    // Middle of the tooth at half a pitch; the space symmetric about the y axis.
    EXPECT_NEAR(std::atan2(v[6].x, v[6].y), Pi / r.ToothCount[1], 1e-12);
    for (auto [a, b] : {std::pair{0, 6}, std::pair{1, 5}, std::pair{2, 3}}) {
      EXPECT_NEAR(v[a].x, -v[b].x, 1e-12);
      EXPECT_NEAR(v[a].y, v[b].y, 1e-12);
    }
    // Root arc: the tool's tip radius, touching the root circle, tangent to both flanks.
    const Arc root = ArcFrom(v[2], v[3]);
    EXPECT_NEAR(root.r, rho, 1e-9);
    EXPECT_NEAR(std::hypot(root.xc, root.yc) - rho, r.RootDiameter[1] / 2, 1e-9);
    EXPECT_LT(TangentError(root, v[3], v[4]), 1e-6);
    EXPECT_LT(TangentError(root, v[2], v[1]), 1e-6);
    // Tip arcs about the axis.
    const Arc tip = ArcFrom(v[5], v[6]);
    EXPECT_NEAR(std::hypot(tip.xc, tip.yc), 0, 1e-9);
    EXPECT_LT(v[5].bulge, 0);
  }
}

TEST(ToothGeometry, HubPitchFilletsAreTangentWithTheToolRadius) {
  for (const DesignRecord& r : Designs()) {
    const std::vector<ToothVertex> v = HubToothVertices(r);
    ASSERT_EQ(v.size(), 8u);
    const long double rf = std::fabs(r.RootDiameter[2]) / 2, ra = std::fabs(r.TipDiameter[2]) / 2;
    const long double rho = r.ToolTipRadius[2];
    EXPECT_NEAR(Radius(v[0]), rf, 1e-9);
    EXPECT_NEAR(Radius(v[7]), rf, 1e-9);
    EXPECT_NEAR(Radius(v[3]), ra, 1e-9);
    EXPECT_NEAR(Radius(v[4]), ra, 1e-9);
    // The calculation's form diameter of the hub comes from the generating tool and differs from
    // the end of the tangent fillet by a few hundredths.
    EXPECT_NEAR(2 * Radius(v[6]), std::fabs(r.FormDiameter[2]), 0.03);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(v[i].x, -v[7 - i].x, 1e-12);
    for (const auto& [a, b, flank] : {std::tuple{0, 1, 2}, std::tuple{6, 7, 5}}) {
      const Arc fillet = ArcFrom(v[a], v[b]);
      EXPECT_NEAR(fillet.r, rho, 1e-9);
      // Touches the root circle from inside and runs into the flank without a kink.
      EXPECT_NEAR(std::hypot(fillet.xc, fillet.yc) + rho, rf, 1e-9);
      const int onFlank = a == 0 ? b : a;
      EXPECT_LT(TangentError(fillet, v[onFlank], v[flank]), 1e-6) << a;
    }
    // The hub's flank is parallel to the shaft's flank of the space it sits in.
    const long double lean = std::atan2(v[6].x - v[5].x, v[6].y - v[5].y);
    EXPECT_NEAR(lean, r.FlankAngleExternal / 2, 1e-9);
  }
}

// The default design file with one line changed, read and calculated.
DesignRecord DefaultWithLine(int line, const std::string& value) {
  test::TempFolder dir;
  std::vector<std::string> lines = test::ReadFileLines(QERN_SOURCE_DATA "/null.qrk");
  EXPECT_GE(lines.size(), static_cast<size_t>(line));
  lines[line - 1] = value;
  test::WriteFileLines(dir.File("tip.qrk"), lines);
  Flags.AbortFlag = false;
  Flags.ErrorBoxesEnabled = false;
  ReadDataFile(dir.File("tip.qrk"));
  Flags.ErrorBoxesEnabled = true;
  EXPECT_FALSE(Flags.AbortFlag);
  CalculateSerration();
  EXPECT_FALSE(Flags.FatalError);
  const DesignRecord r = Design;
  SetDefaultDesign();
  ResetErrors();
  return r;
}

// The pitch as constructed: every vertex between root and tip circle, the flanks on the lines
// through their pitch points in the direction of the shaft's flank, ending on the tip circle within
// the pitch, and tip arcs that span less than one pitch.
void ExpectPitchAsConstructed(const std::vector<ToothVertex>& v, long double rRoot, long double rTip,
                              long double pitchRadius, long double flankDirection, long double psi) {
  const long double lo = std::min(rRoot, rTip), hi = std::max(rRoot, rTip);
  for (const ToothVertex& p : v) {
    EXPECT_GE(Radius(p), lo - 1e-9);
    EXPECT_LE(Radius(p), hi + 1e-9);
    EXPECT_LE(std::fabs(std::atan2(p.x, p.y)), psi + 1e-12);
  }
  const long double dx = std::sin(flankDirection), dy = std::cos(flankDirection);
  int tips = 0;
  for (size_t i = 0; i + 1 < v.size(); ++i) {
    const ToothVertex &a = v[i], &b = v[i + 1];
    if (a.bulge == 0) {
      // A straight flank: on one line of the flank's direction, through the pitch point when the
      // flank reaches the pitch circle.
      const long double len = std::hypot(b.x - a.x, b.y - a.y);
      ASSERT_GT(len, 1e-9) << i;
      const long double sx = a.x < 0 || b.x < 0 ? -dx : dx;
      EXPECT_NEAR(std::fabs((b.x - a.x) * dy - (b.y - a.y) * sx) / len, 0, 1e-9) << i;
      continue;
    }
    if (std::fabs(Radius(a) - rTip) < 1e-9 && std::fabs(Radius(b) - rTip) < 1e-9) {
      ++tips;
      EXPECT_LT(std::fabs(a.bulge), 2 * psi) << i;
      const Arc arc = ArcFrom(a, b);
      EXPECT_NEAR(std::hypot(arc.xc, arc.yc), 0, 1e-9) << i;
    }
  }
  EXPECT_GE(tips, 1);
  // The flank meets the pitch circle only when the tip lies beyond it.
  const bool pitchReached = (rTip - pitchRadius) * (rRoot - pitchRadius) < 0;
  int onPitch = 0;
  for (const ToothVertex& p : v) onPitch += std::fabs(Radius(p) - pitchRadius) < 1e-9;
  EXPECT_EQ(onPitch > 0, pitchReached);
}

TEST(ToothGeometry, FlanksEndAtTheTipCircleNearTheirPitchPoint) {
  std::vector<DesignRecord> designs = Designs();
  // The hub's tip circle outside the pitch circle, and the shaft's inside it.
  const DesignRecord hubTip = DefaultWithLine(37, "13.1000000");
  const DesignRecord shaftTip = DefaultWithLine(25, "12.9000000");
  ASSERT_GT(std::fabs(hubTip.TipDiameter[2]), hubTip.PitchDiameter[1]);
  ASSERT_LT(shaftTip.TipDiameter[1], shaftTip.PitchDiameter[1]);
  designs.push_back(hubTip);
  designs.push_back(shaftTip);
  for (const DesignRecord& r : designs) {
    SCOPED_TRACE(testing::Message() << "z " << r.ToothCount[1] << " da1 " << r.TipDiameter[1]
                                    << " da2 " << r.TipDiameter[2]);
    const long double psi = Pi / r.ToothCount[1], d1 = r.PitchDiameter[1];
    const std::vector<ToothVertex> shaft = ShaftToothVertices(r);
    EXPECT_EQ(shaft.size(), r.TipDiameter[1] > d1 ? 7u : 6u);
    ExpectPitchAsConstructed(shaft, r.RootDiameter[1] / 2, r.TipDiameter[1] / 2, d1 / 2,
                             r.FlankAngleExternal / 2, psi);
    const std::vector<ToothVertex> hub = HubToothVertices(r);
    EXPECT_EQ(hub.size(), std::fabs(r.TipDiameter[2]) < d1 ? 8u : 6u);
    ExpectPitchAsConstructed(hub, std::fabs(r.RootDiameter[2]) / 2,
                             std::fabs(r.TipDiameter[2]) / 2, d1 / 2, r.FlankAngleExternal / 2,
                             psi);
  }
}

TEST(ToothGeometry, BoxReachesTheAxisPointsOfItsArcs) {
  // A half circle above the axis (counter-clockwise from (2, 0) to (-2, 0)) and a quarter about
  // the bottom: the box holds the axis points the arcs pass, each where the cosine and sine of
  // its direction put it.
  const long double h = std::sqrt(2.0L);
  const std::vector<ToothVertex> v = {{2, 0, Pi}, {-2, 0, 0}, {-h, -h, Pi / 2}, {h, -h, 0}};
  ToothBox want{2, 0, 2, 0};
  for (size_t i = 0; i < v.size(); ++i) {
    auto add = [&want](long double x, long double y) {
      want = {std::min(want.xmin, x), std::min(want.ymin, y), std::max(want.xmax, x),
              std::max(want.ymax, y)};
    };
    add(v[i].x, v[i].y);
    if (v[i].bulge == 0) continue;
    long double xc = 0, yc = 0, start = 0, end = 0, r = 0;
    GetArcCenter(xc, yc, start, v[i].x, v[i].y, v[i + 1].x, v[i + 1].y, v[i].bulge, end, r);
    if (end < start) end += 2 * Pi;
    for (int q = -4; q <= 8; ++q)
      if (q * Pi / 2 > start && q * Pi / 2 < end)
        add(xc + r * std::cos(q * Pi / 2), yc + r * std::sin(q * Pi / 2));
  }
  const ToothBox b = ToothVerticesBox(v);
  EXPECT_EQ(b.xmin, want.xmin);
  EXPECT_EQ(b.ymin, want.ymin);
  EXPECT_EQ(b.xmax, want.xmax);
  EXPECT_EQ(b.ymax, want.ymax);
  EXPECT_NEAR(b.ymax, 2, 1e-12);
  EXPECT_NEAR(b.ymin, -2, 1e-12);
}

}  // namespace
