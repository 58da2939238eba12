// Tooth geometry as geometry: vertices on their circles, root arc and fillets of the tool's tip
// radius, tangent to the flanks, for the default design and every shipped example.
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

}  // namespace
