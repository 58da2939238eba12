// Tests of the math and plane-geometry utilities.
#include "framework/utilmath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "framework/progvar.h"
#include "framework/utilstr.h"
#include "framework/vektor.h"

using namespace qern;

constexpr double kPi = 3.14159265358979323846;

class UtilMathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetDecimalSeparator('.');
  }
};

TEST_F(UtilMathTest, RoundingAndPowers) {
  EXPECT_DOUBLE_EQ(static_cast<double>(RoundDecimals(2.3456L, 2)), 2.35);
  EXPECT_EQ(RoundDecimals(0.125L, 2), 0.12L);       // exact tie goes to even
  EXPECT_EQ(RoundDecimals(0.375L, 2), 0.38L);
  EXPECT_EQ(RoundHalfEven(-2.5L), -2.0L);
  EXPECT_EQ(IntPower(2, 10), 1024.0L);
  EXPECT_EQ(IntPower(2, -2), 0.25L);
  EXPECT_EQ(Log10(-3), 0.0L);
  EXPECT_EQ(FloorValue(-2), -2.0L);
  EXPECT_EQ(FloorValue(-2.5L), -3.0L);
  EXPECT_EQ(FloorValue(2.7L), 2.0L);
  EXPECT_EQ(DecadeExponent(0), 0);
  EXPECT_EQ(DecadeExponent(1000), 3);
  EXPECT_EQ(DecadeExponent(999.9L), 2);
  EXPECT_EQ(DecadeExponent(-0.001L), -3);
  EXPECT_TRUE(IsEven(-4));
  EXPECT_FALSE(IsEven(-3));
}

TEST_F(UtilMathTest, ArcCosGuards) {
  EXPECT_EQ(ArcCosChecked("a1", 1.00005L), 0.0L);
  EXPECT_EQ(Errors.ErrorCount, 0);
  EXPECT_EQ(ArcCosChecked("a1", -1), Pi);
  EXPECT_EQ(Errors.ErrorCount, 0);
  EXPECT_EQ(ArcCosChecked("a1", 1.0002L), 0.0L);
  ASSERT_EQ(Errors.ErrorCount, 1);
  EXPECT_EQ(Errors.ErrorList[0], "Error : a1 arccos(1.0002)");
  EXPECT_EQ(ArcCosChecked("a2", -1.5L), Pi);
  EXPECT_EQ(Errors.ErrorList[1], "Error : a2 arccos(-1.5)");
  EXPECT_NEAR(static_cast<double>(ArcCosChecked("a3", 0.5L)), kPi / 3, 1e-15);

  EXPECT_EQ(ArcCosine(1.5L), 0.0L);
  EXPECT_EQ(Errors.ErrorList[2], "Error: ArcCos 1.5");
  ArcCosine(1.5L);  // the same failure in a loop is listed once
  EXPECT_EQ(Errors.ErrorCount, 3);

  ArcCosChecked(std::string("a4"), -std::numeric_limits<long double>::infinity());
  EXPECT_EQ(Errors.ErrorList[3], "Error : a4 arccos(-INF)");

  SetDecimalSeparator(',');
  ArcCosine(-2.25L);
  EXPECT_EQ(Errors.ErrorList[4], "Error: ArcCos -2,25");
}

TEST_F(UtilMathTest, AnglesAndDirections) {
  EXPECT_EQ(ArcTanXY(0, 0), Pi / 2);
  EXPECT_EQ(ArcTanXY(0, -1), -Pi / 2);
  EXPECT_EQ(ArcTanXY(-1, 0), Pi);
  EXPECT_NEAR(static_cast<double>(ArcTanXY(-1, -1)), 5 * kPi / 4, 1e-15);
  EXPECT_EQ(ArcTanYX(1, 0), ArcTanXY(0, 1));
  EXPECT_NEAR(static_cast<double>(AngleDifference(350, 10)), 20, 1e-12);
  EXPECT_NEAR(static_cast<double>(AngleDifference(10, 350)), 340, 1e-12);
  EXPECT_EQ(AngleDifference(30, 30), 0.0L);
  EXPECT_NEAR(static_cast<double>(AngleDifference(-90, 90)), 180, 1e-12);
  EXPECT_NEAR(static_cast<double>(Involute(DegToRad(20))), 0.014904383867336446, 1e-15);
  long double r, phi, x, y;
  XYToPolar(r, phi, 3, 4);
  EXPECT_EQ(r, 5.0L);
  PolarToXY(x, y, r, phi);
  EXPECT_NEAR(static_cast<double>(x), 3, 1e-15);
  EXPECT_NEAR(static_cast<double>(y), 4, 1e-15);
}

// An arc's angles as every back end takes them: none where one is no number; within a turn where
// they lie more than a turn apart, the directions kept; the sweep within a turn, a whole turn for
// the same directions (the writers' tolerance of a circle included).
TEST_F(UtilMathTest, ArcAnglesAndSweep) {
  const long double inf = std::numeric_limits<long double>::infinity();
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  for (const auto& [s0, e0] : std::vector<std::pair<long double, long double>>{
           {0, inf}, {-inf, 0}, {nan, 90}, {10, nan}}) {
    long double s = s0, e = e0;
    EXPECT_FALSE(ArcAnglesWithinTurn(s, e));
    EXPECT_EQ(ArcSweep(s0, e0), 0);
  }
  struct Case {
    long double s, e, s2, e2, sweep;
  };
  for (const Case& c : std::vector<Case>{{10, 80, 10, 80, 70},
                                         {350, 10, 350, 10, 20},
                                         {0, 360, 0, 360, 360},
                                         {0, 360.000001L, 0, 360.000001L, 360},
                                         {90, 90, 90, 90, 360},
                                         {0, 1500, 0, 60, 60},
                                         {0, -400, 0, -40, 320},
                                         {725, -5, 5, -5, 350},
                                         {7, 3607, 7, 7, 360}}) {
    long double s = c.s, e = c.e;
    ASSERT_TRUE(ArcAnglesWithinTurn(s, e)) << c.s << " " << c.e;
    EXPECT_EQ(s, c.s2) << c.s << " " << c.e;
    EXPECT_EQ(e, c.e2) << c.s << " " << c.e;
    EXPECT_NEAR(static_cast<double>(ArcSweep(s, e)), static_cast<double>(c.sweep), 1e-9)
        << c.s << " " << c.e;
  }
  // Angles too large for a turn to change them: each within a turn, the same direction.
  long double s = 1e30L, e = 0;
  ASSERT_TRUE(ArcAnglesWithinTurn(s, e));
  EXPECT_LT(std::fabs(s), 360);
  EXPECT_EQ(s, std::fmod(1e30L, 360.0L));
  EXPECT_EQ(ArcSweep(1e30L, 1e30L), 360);
}

TEST_F(UtilMathTest, RotationsAndPlacement) {
  long double x, y;
  RotateAboutPoint(x, y, 2, 1, 1, 1, Pi / 2);
  EXPECT_NEAR(static_cast<double>(x), 1, 1e-15);
  EXPECT_NEAR(static_cast<double>(y), 2, 1e-15);
  RotateTranslate(x, y, 10, 20, 90, 1, 0);
  EXPECT_NEAR(static_cast<double>(x), 10, 1e-15);
  EXPECT_NEAR(static_cast<double>(y), 21, 1e-15);
  ScaleRotateTranslate(x, y, 2, 3, 10, 20, 0, 1, 1);
  EXPECT_NEAR(static_cast<double>(x), 12, 1e-15);
  EXPECT_NEAR(static_cast<double>(y), 23, 1e-15);
}

TEST_F(UtilMathTest, ComparisonsAndUnits) {
  EXPECT_FALSE(IsBetween(5, 5, 89));
  EXPECT_TRUE(IsBetween(6, 89, 5));
  EXPECT_TRUE(IsNearlyEqual(1, 1.000009L));
  EXPECT_FALSE(IsNearlyEqual(1, 1.0001L));
  EXPECT_EQ(PercentDeviation(0, 5), 0.0L);
  EXPECT_EQ(PercentDeviation(-4, -5), 25.0L);
  EXPECT_NEAR(static_cast<double>(MmToInch(InchToMm(1.5L))), 1.5, 1e-15);
}

TEST_F(UtilMathTest, ArcCenterBothSweepDirections) {
  long double xc = 7, yc = 7, ps = 7, pe = 7, r = 7;
  GetArcCenter(xc, yc, ps, 1, 0, 0, 1, Pi / 2, pe, r);
  EXPECT_NEAR(static_cast<double>(xc), 0, 1e-15);
  EXPECT_NEAR(static_cast<double>(yc), 0, 1e-15);
  EXPECT_NEAR(static_cast<double>(r), 1, 1e-15);
  EXPECT_NEAR(static_cast<double>(ps), 0, 1e-15);
  EXPECT_NEAR(static_cast<double>(pe), kPi / 2, 1e-15);
  // Clockwise from (0,1) to (1,0): same circle, directions exchanged.
  GetArcCenter(xc, yc, ps, 0, 1, 1, 0, -Pi / 2, pe, r);
  EXPECT_NEAR(static_cast<double>(xc), 0, 1e-15);
  EXPECT_NEAR(static_cast<double>(ps), 0, 1e-15);
  EXPECT_NEAR(static_cast<double>(pe), kPi / 2, 1e-15);
  // Half circle: centre on the chord.
  GetArcCenter(xc, yc, ps, 2, 0, -2, 0, Pi, pe, r);
  EXPECT_NEAR(static_cast<double>(xc), 0, 1e-15);
  EXPECT_NEAR(static_cast<double>(yc), 0, 1e-15);
  EXPECT_NEAR(static_cast<double>(r), 2, 1e-15);
  EXPECT_EQ(Errors.ErrorCount, 0);
}

TEST_F(UtilMathTest, ArcCenterZeroSweepLeavesOutputs) {
  long double xc = 7, yc = 7, ps = 7, pe = 7, r = 7;
  GetArcCenter(xc, yc, ps, 1, 0, 0, 1, 0, pe, r);
  GetArcCenter(xc, yc, ps, 1, 0, 0, 1, 0, pe, r);
  EXPECT_EQ(xc + yc + ps + pe + r, 35.0L);
  ASSERT_EQ(Errors.ErrorCount, 1);
  EXPECT_EQ(Errors.ErrorList[0], "Fehler in GetArcCenter (dphi = 0 ! ");
}

TEST_F(UtilMathTest, ChordRootsAndIntersections) {
  EXPECT_NEAR(static_cast<double>(ChordAngle(1, 0, 0, 1, 1)), kPi / 2, 1e-15);
  long double x1, x2, y1, y2;
  bool none;
  QuadraticRoots(x1, x2, none, 1, -3, 2);
  EXPECT_FALSE(none);
  EXPECT_EQ(x1, 2.0L);
  EXPECT_EQ(x2, 1.0L);
  QuadraticRoots(x1, x2, none, 1, 0, 1);
  EXPECT_TRUE(none);
  EXPECT_EQ(x1 + x2, 0.0L);

  IntersectLineCircle(x1, y1, x2, 0, 0, 5, -10, 3, 10, 3, y2, none);
  EXPECT_FALSE(none);
  EXPECT_NEAR(static_cast<double>(x1), 4, 1e-15);
  EXPECT_NEAR(static_cast<double>(x2), -4, 1e-15);
  EXPECT_NEAR(static_cast<double>(y1), 3, 1e-15);
  IntersectLineCircle(x1, y1, x2, 0, 0, 5, 3, -1, 3, 1, y2, none);  // vertical
  EXPECT_FALSE(none);
  EXPECT_EQ(y1, 4.0L);
  EXPECT_EQ(y2, -4.0L);
  x1 = y1 = x2 = y2 = 9;
  IntersectLineCircle(x1, y1, x2, 0, 0, 1, -10, 3, 10, 3, y2, none);  // misses
  EXPECT_TRUE(none);
  EXPECT_EQ(x1 + y1 + x2 + y2, 0.0L);
}

// Units in the last place between two long doubles (0 when equal).
long double UlpsApart(long double a, long double b) {
  if (a == b) return 0;
  return std::fabs(a - b) / std::fabs(std::nextafter(b, 10.0L) - b);
}

TEST_F(UtilMathTest, QuickSineAndCosineStayWithinAUnitOfTheLibrarys) {
  long double worst = 0;
  auto check = [&](long double x) {
    long double s, c;
    ASSERT_TRUE(QuickSinCos(x, s, c)) << static_cast<double>(x);
    worst = std::max({worst, UlpsApart(s, std::sin(x)), UlpsApart(c, std::cos(x))});
  };
  std::mt19937_64 random(29);
  // Any magnitude up to 2^20, and degrees as the drawings give them.
  for (int i = 0; i < 300000; ++i) {
    const long double m = 1 + static_cast<long double>(random() >> 1) / 0x1p63L;
    check(std::ldexp(m, static_cast<int>(random() % 85) - 65) * (random() & 1 ? -1 : 1));
    check(DegToRad(static_cast<long double>(static_cast<int64_t>(random() % 2000000) - 1000000) /
                   1000));
  }
  // Right on and next to multiples of 90 degrees, where the cosine or sine is tiny.
  for (int k = -4000; k <= 4000; ++k) {
    long double x = DegToRad(90.0L * k);
    check(x);
    check(std::nextafter(x, 1e9L));
    check(std::nextafter(x, -1e9L));
  }
  EXPECT_LE(worst, QuickTrigUlps / 4.0L);
  long double s = 7, c = 7;
  for (long double x : {0x1p20L, -0x1p21L, std::numeric_limits<long double>::infinity(),
                        std::numeric_limits<long double>::quiet_NaN()})
    EXPECT_FALSE(QuickSinCos(x, s, c));
  EXPECT_EQ(s, 7);
  EXPECT_EQ(c, 7);
}

TEST_F(UtilMathTest, SineAndCosineInDegreesInDouble) {
  // Quarter turns, and angles of every size and sign against the library's long double values.
  struct Case {
    double deg, s, c;
  };
  const Case exact[] = {{0, 0, 1},     {90, 1, 0},   {180, 0, -1},   {270, -1, 0}, {-90, -1, 0},
                        {450, 1, 0},   {-540, 0, -1}, {3600, 0, 1}, {3.6e14, 0, 1}};
  for (const Case& k : exact) {
    double s = 7, c = 7;
    SinCosDegrees(k.deg, s, c);
    EXPECT_EQ(s, k.s) << k.deg;
    EXPECT_EQ(c, k.c) << k.deg;
  }
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> angle(-1e4, 1e4);
  for (int i = 0; i < 100000; ++i) {
    const double deg = i % 5 == 0 ? std::ldexp(angle(random), i % 40) : angle(random);
    double s, c;
    SinCosDegrees(deg, s, c);
    const long double a = DegToRad(static_cast<long double>(deg));
    // The angle's own rounding to a double, turned to radians, is its only larger error.
    const double near = 4e-16 * std::max(1.0, std::fabs(deg) * kPi / 180);
    ASSERT_NEAR(s, static_cast<double>(std::sin(a)), near) << deg;
    ASSERT_NEAR(c, static_cast<double>(std::cos(a)), near) << deg;
  }
  double s = 0, c = 0;
  SinCosDegrees(NAN, s, c);
  EXPECT_TRUE(std::isnan(s) && std::isnan(c));
  SinCosDegrees(1e300, s, c);  // the library's
  EXPECT_LE(std::fabs(s), 1);
}

TEST_F(UtilMathTest, KeptInsertAnglesTurnAsComputedAfresh) {
  // Points turned by angles taking turns, as the replay of nested inserts does.
  const long double angles[] = {0, 30, -0.0L, 12.5L, 30, 12.5L, 359.999L, 0, 12.5L};
  for (int round = 0; round < 3; ++round) {
    for (long double angle : angles) {
      long double x, y;
      RotateTranslate(x, y, 3, -4, angle, 1.25L, -7.5L);
      const long double a = DegToRad(angle), c = std::cos(a), s = std::sin(a);
      EXPECT_EQ(x, 3 + 1.25L * c - -7.5L * s) << static_cast<double>(angle);
      EXPECT_EQ(y, -4 + -7.5L * c + 1.25L * s) << static_cast<double>(angle);
      EXPECT_EQ(std::signbit(y), std::signbit(-4 + -7.5L * c + 1.25L * s));
    }
  }
  // Many angles twice over, more than are kept at once: whatever is kept is what was computed.
  for (int round = 0; round < 2; ++round) {
    for (int i = 1; i <= 3000; ++i) {
      const long double angle = 360.0L * i / 3000;
      long double x, y;
      RotateTranslate(x, y, 0, 0, angle, 2, 1);
      const long double a = DegToRad(angle), c = std::cos(a), s = std::sin(a);
      ASSERT_EQ(x, 0 + 2 * c - 1 * s) << i;
      ASSERT_EQ(y, 0 + 1 * c + 2 * s) << i;
    }
    if (round == 0) ForgetKeptTurns();
  }
}

TEST_F(UtilMathTest, AngleDifferenceAsWithTheLibrarysWholeParts) {
  auto reference = [](long double a, long double b) {
    auto frac = [](long double v) { return v - std::trunc(v); };
    long double d = (frac(b / 360) - frac(a / 360)) * 360;
    return d < 0 ? d + 360 : d;
  };
  std::mt19937_64 random(3);
  std::vector<long double> angles = {0, -0.0L, 360, -360, 720, -719.5L, 0.5L, -0.5L, 1e30L, -1e30L,
                                     0x1p62L * 360, std::numeric_limits<long double>::infinity()};
  for (int i = 0; i < 20000; ++i)
    angles.push_back(static_cast<long double>(static_cast<int64_t>(random() % 4000001) - 2000000) /
                     (i % 2 ? 1000 : 7));
  for (std::size_t i = 0; i + 1 < angles.size(); ++i) {
    const long double got = AngleDifference(angles[i], angles[i + 1]);
    const long double want = reference(angles[i], angles[i + 1]);
    if (std::isnan(want)) {
      EXPECT_TRUE(std::isnan(got));
    } else {
      EXPECT_EQ(got, want) << static_cast<double>(angles[i]) << " "
                           << static_cast<double>(angles[i + 1]);
      EXPECT_EQ(std::signbit(got), std::signbit(want));
    }
  }
}

