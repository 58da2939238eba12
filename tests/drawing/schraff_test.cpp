// Hatching, the crossing sort and the break symbol as geometry: half-open edges at vertices,
// overfull polygons, endless steps, too many crossings; the points of a freehand line.
#include "drawing/schraff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "drawing/freihand.h"
#include "drawing/qsort2.h"
#include "framework/progvar.h"
#include "framework/utilmath.h"

using namespace qern;

namespace {

bool HasError(const std::string& text) {
  for (int i = 0; i < Errors.ErrorCount; ++i)
    if (Errors.ErrorList[i] == text) return true;
  return false;
}

long double Length(const HatchSegment& s) { return std::hypot(s.x2 - s.x1, s.y2 - s.y1); }

class Hatching : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetErrors();
    ClearErrorList();
    ClearHatchPoints();
  }
};

TEST_F(Hatching, LineThroughVerticesOfASquareIsItsDiagonal) {
  // 45 degrees, automatic step: c = -8 .. 8; c = 0 passes through the corners (0,0) and (10,10),
  // which the outline passes through: each must count once.
  const std::vector<HatchPoint> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  const std::vector<HatchSegment> lines = HatchSegments(square, 0, 45);
  ASSERT_EQ(lines.size(), 9u);
  bool diagonal = false;
  for (const HatchSegment& s : lines) {
    EXPECT_GT(Length(s), 1.0L);
    // Both ends on the outline.
    for (auto [x, y] : {std::pair{s.x1, s.y1}, std::pair{s.x2, s.y2}}) {
      const bool onEdge = std::fabs(x) < 1e-9 || std::fabs(x - 10) < 1e-9 || std::fabs(y) < 1e-9 ||
                          std::fabs(y - 10) < 1e-9;
      EXPECT_TRUE(onEdge) << x << " " << y;
    }
    if (std::fabs(Length(s) - std::sqrt(200.0L)) < 1e-9) diagonal = true;
  }
  EXPECT_TRUE(diagonal);
  // Closing the polygon by hand changes nothing; a spacing gives lines that far apart.
  std::vector<HatchPoint> closed = square;
  closed.push_back(square.front());
  EXPECT_EQ(HatchSegments(closed, 0, 45).size(), 9u);
  EXPECT_EQ(HatchSegments(square, 1, 45).size(), 14u);  // step sqrt(2) over c in (-10, 10)
}

TEST_F(Hatching, EveryLineJoinsTheHypotenuseToALeg) {
  // c = y - x: the corner (0, 0) lies on c = 0 where the outline passes through it, so that line
  // runs from the corner to the hypotenuse; the other two corners are the extremes of c.
  const std::vector<HatchPoint> tri = {{0, 0}, {10, 0}, {0, 10}};
  const std::vector<HatchSegment> lines = HatchSegments(tri, 0, 45);
  ASSERT_EQ(lines.size(), 9u);
  bool throughCorner = false;
  for (const HatchSegment& s : lines) {
    const bool firstOnHyp = std::fabs(s.x1 + s.y1 - 10) < 1e-9;
    const bool secondOnHyp = std::fabs(s.x2 + s.y2 - 10) < 1e-9;
    EXPECT_NE(firstOnHyp, secondOnHyp);
    const long double lx = firstOnHyp ? s.x2 : s.x1, ly = firstOnHyp ? s.y2 : s.y1;
    EXPECT_TRUE(std::fabs(lx) < 1e-9 || std::fabs(ly) < 1e-9);
    if (std::fabs(lx) < 1e-9 && std::fabs(ly) < 1e-9) throughCorner = true;
  }
  EXPECT_TRUE(throughCorner);
}

TEST_F(Hatching, DegenerateInputsDrawNothing) {
  EXPECT_TRUE(HatchSegments({{0, 0}, {1, 1}}, 0, 45).empty());
  EXPECT_TRUE(HatchSegments({{0, 0}, {1, 0}, {0, 1}}, 0, 0).empty());
  // A negative spacing would step backwards for ever.
  EXPECT_TRUE(HatchSegments({{0, 0}, {1, 0}, {0, 1}}, -1, 45).empty());
  // A tiny spacing stops at the cap.
  EXPECT_EQ(HatchSegments({{0, 0}, {100, 0}, {100, 100}, {0, 100}}, 1e-9L, 45).size(),
            static_cast<size_t>(MaxHatchLines));
  EXPECT_FALSE(Flags.AbortFlag);
}

TEST_F(Hatching, PointCapacityAndOverfullPolygon) {
  for (int i = 0; i < MaxHatchPoints; ++i) AddHatchPoint(i, i % 2);
  EXPECT_EQ(Errors.ErrorCount, 0);
  AddHatchPoint(-1, -1);
  EXPECT_TRUE(HasError("Schraffurfehler"));
  EXPECT_EQ(HatchPointCount, MaxHatchPoints + 1);
  EXPECT_EQ(HatchPoints[MaxHatchPoints - 1].x, MaxHatchPoints - 1);
  HatchPolygonPoints(0, 0, 45);
  EXPECT_TRUE(HasError("Fatal  : n schraff !"));
}

TEST_F(Hatching, MoreThanTenCrossingsStopWithAbort) {
  // A comb with six teeth: a horizontal-ish line crosses it twelve times.
  std::vector<HatchPoint> comb = {{0, 0}, {12, 0}};
  for (int i = 5; i >= 0; --i) {
    comb.push_back({2.0L * i + 2, 10});
    comb.push_back({2.0L * i + 1, 1});
    comb.push_back({2.0L * i + 0.5L, 10});
  }
  comb.push_back({0, 10});
  HatchSegments(comb, 0.5L, 1);
  EXPECT_TRUE(HasError("Fatal  : schraff schnittp"));
  EXPECT_TRUE(Flags.AbortFlag);
}

TEST(Qsort2Test, SortsWithIndexAndRefusesEleven) {
  std::array<double, Qsort2Capacity> v = {5, 1, 4, 1.5, 3};
  std::array<int, Qsort2Capacity> idx{};
  Qsort2(v, idx, 5);
  EXPECT_EQ((std::array<double, 5>{v[0], v[1], v[2], v[3], v[4]}), (std::array<double, 5>{1, 1.5, 3, 4, 5}));
  EXPECT_EQ((std::array<int, 5>{idx[0], idx[1], idx[2], idx[3], idx[4]}), (std::array<int, 5>{2, 4, 5, 3, 1}));
  EXPECT_EQ(idx[9], 10);
  ResetErrors();
  Qsort2(v, idx, 11);
  EXPECT_TRUE(HasError("Fatal  : QSORT2 error"));
  EXPECT_TRUE(Flags.AbortFlag);
  ResetErrors();
}

TEST(ShaftBreak, FortySevenPointsClosedAndSymmetric) {
  const std::vector<HatchPoint> p = ShaftBreakPoints(2, 3, 20);
  ASSERT_EQ(p.size(), 47u);
  EXPECT_EQ(p.front().x, p.back().x);
  EXPECT_EQ(p.front().y, p.back().y);
  EXPECT_NEAR(p[23].x, 12, 1e-12);  // x + R
  EXPECT_NEAR(p[12].y, 3 + 1.5, 1e-12);  // y + 0.15 R
  for (int k = 1; k <= 23; ++k) {
    EXPECT_NEAR(p[23 + k].x, p[23 - k].x, 1e-12);
    EXPECT_NEAR(p[23 + k].y - 3, -(p[23 - k].y - 3), 1e-12);
  }
}

TEST_F(Hatching, FreehandNumbersFollowTheSeed) {
  // Each seed gives the generator's numbers from its start, whether seeded before, seeded again
  // without a number drawn, or beyond the kept seeds.
  for (std::uint32_t seed : {3u, 3u, 0u, 31u, 32u, 1000u, 3u}) {
    SeedFreehand(seed + 1);
    if (seed % 2 == 1) FreehandRandom();
    SeedFreehand(seed);
    std::mt19937 g(seed);
    for (int i = 0; i < 700; ++i) {  // beyond one twist of the state
      const long double want = static_cast<long double>(g()) / 4294967296.0L;
      ASSERT_EQ(FreehandRandom(), want) << seed << " " << i;
    }
  }
}

TEST_F(Hatching, FreehandPointsAreTheOffsetsTurnedIntoTheLine) {
  // Points along a slanted line, each offset across it by the difference of two draws and turned
  // by the line's angle exactly as RotatePoint turns it.
  const long double x1 = 3, y1 = -2, x2 = 40.5L, y2 = 17.25L, amplitude = 1.5L;
  SeedFreehand(7);
  FreehandLine(true, x1, y1, x2, y2, amplitude);
  ASSERT_EQ(HatchPointCount, 7);
  SeedFreehand(7);
  const long double phi = std::atan2(y2 - y1, x2 - x1), l = Hypot(x2 - x1, y2 - y1);
  for (int k = 1; k <= 5; ++k) {
    const long double r1 = FreehandRandom(), r2 = FreehandRandom();
    long double px = 0, py = 0;
    RotatePoint(px, py, k * l / 6, (r1 - r2) * 2 * amplitude, phi);
    EXPECT_EQ(HatchPoints[k].x, px + x1) << k;
    EXPECT_EQ(HatchPoints[k].y, py + y1) << k;
  }
  EXPECT_EQ(HatchPoints[6].x, x2);
  EXPECT_EQ(HatchPoints[6].y, y2);
}

}  // namespace
