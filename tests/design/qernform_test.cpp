// Tooth and pin formulas: inverses, pin spans, sign conventions and the standard pin diameter.
#include <gtest/gtest.h>

#include <cmath>

#include "design/qernform.h"
#include "framework/progvar.h"
#include "framework/utilmath.h"

namespace qern {
namespace {

const long double kAlpha = Pi / 6;
const long double kMn = 0.41934L;

class ToothFormulas : public ::testing::Test {
 protected:
  void SetUp() override { InitProgramState(); }
};

TEST_F(ToothFormulas, ThicknessWidthAndShiftAreInverse) {
  for (long double x : {-1.2L, -0.3L, 0.0L, 0.25L, 1.4L}) {
    const long double sn = ToothThicknessFromShift(kMn, kAlpha, x);
    const long double en = SpaceWidthFromShift(kMn, kAlpha, x);
    EXPECT_NEAR(static_cast<double>(sn + en), static_cast<double>(Pi * kMn), 1e-15);
    EXPECT_NEAR(static_cast<double>(ShiftForToothThickness(sn, kMn, kAlpha)), static_cast<double>(x), 1e-15);
    EXPECT_NEAR(static_cast<double>(ShiftForSpaceWidth(en, kMn, kAlpha)), static_cast<double>(x), 1e-15);
  }
  EXPECT_NEAR(static_cast<double>(ToothThicknessFromShift(kMn, kAlpha, 0)), 0.658698, 1e-6);
}

TEST_F(ToothFormulas, RootDiameterAndTipRadiusAreInverse) {
  const long double d = 31 * kMn, pn = Pi * kMn, sn = pn / 2, en = pn / 2;
  const long double gammaE = 2 * kAlpha, gammaI = gammaE - 2 * Pi / 31;
  // A sharp tool cuts the diameter where the flanks meet, and that diameter gives radius 0.
  const long double dfmin = RootDiameterExternal(sn, 0, pn, d, gammaE);
  EXPECT_NEAR(static_cast<double>(dfmin), 11.842445, 1e-5);
  EXPECT_NEAR(static_cast<double>(TipRadiusExternal(sn, dfmin, pn, d, gammaE)), 0, 1e-15);
  const long double df1 = RootDiameterExternal(sn, 0.25L * kMn, pn, d, gammaE);
  EXPECT_NEAR(static_cast<double>(df1), 12.052115, 1e-5);
  EXPECT_NEAR(static_cast<double>(TipRadiusExternal(sn, df1, pn, d, gammaE)), 0.25 * 0.41934, 1e-15);

  EXPECT_NEAR(static_cast<double>(RootDiameterInternal(en, 0, d, gammaI)), 14.448338, 1e-5);
  const long double df2 = RootDiameterInternal(en, 0.25L * kMn, d, gammaI);
  EXPECT_NEAR(static_cast<double>(df2), 14.146394, 1e-5);
  // The hub's stored negative root diameter gives the same radius.
  EXPECT_NEAR(static_cast<double>(TipRadiusInternal(en, df2, d, gammaI)), 0.25 * 0.41934, 1e-15);
  EXPECT_NEAR(static_cast<double>(TipRadiusInternal(en, -df2, d, gammaI)), 0.25 * 0.41934, 1e-15);
}

TEST_F(ToothFormulas, PinDimensionOddToothCountSpansOffDiameter) {
  const long double pn = Pi * kMn, sn = pn / 2, gamma = 2 * kAlpha, Dm = 0.8L;
  const long double d = 30 * kMn;
  const long double even = PinDimensionExternal(30, sn, pn, d, gamma, Dm);
  const long double odd = PinDimensionExternal(31, sn, pn, d, gamma, Dm);
  EXPECT_NEAR(static_cast<double>(odd - Dm), static_cast<double>((even - Dm) * std::cos(Pi / 62)), 1e-15);
  const long double evenI = PinDimensionInternal(30, sn, d, gamma, Dm);
  const long double oddI = PinDimensionInternal(31, sn, d, gamma, Dm);
  EXPECT_NEAR(static_cast<double>(oddI + Dm), static_cast<double>((evenI + Dm) * std::cos(Pi / 62)), 1e-15);
}

TEST_F(ToothFormulas, PinDimensionForShiftSignsAndParts) {
  EXPECT_NEAR(static_cast<double>(PinDimensionForShift(31, 1, kMn, kAlpha, 0, 0.8L)), 14.225192, 1e-5);
  const long double hub = PinDimensionForShift(-31, 2, kMn, kAlpha, 0, 0.7L);
  EXPECT_NEAR(static_cast<double>(hub), -12.023921, 1e-5);
  const long double pn = Pi * kMn;
  EXPECT_EQ(-hub, PinDimensionInternal(31, pn / 2, 31 * kMn, 2 * kAlpha - 2 * Pi / 31, 0.7L));
  EXPECT_EQ(PinDimensionForShift(31, 3, kMn, kAlpha, 0, 0.8L), 0);
  EXPECT_EQ(PinDimensionForShift(0, 1, kMn, kAlpha, 0, 0.8L), 0);
  EXPECT_EQ(PinDimensionForShift(31, 1, 0, kAlpha, 0, 0.8L), 0);
  // Both grow with x.
  EXPECT_GT(PinDimensionForShift(31, 1, kMn, kAlpha, 0.3L, 0.8L), PinDimensionForShift(31, 1, kMn, kAlpha, 0, 0.8L));
  EXPECT_GT(PinDimensionForShift(-31, 2, kMn, kAlpha, 0.3L, 0.7L), hub);
}

TEST_F(ToothFormulas, RememberedValuesAreExact) {
  // The curve, the remembered results and the plain formulas agree to the last bit.
  const long double pn = Pi * kMn;
  for (int round = 0; round < 2; ++round) {
    for (long double x = -1.5L; x <= 1.5L; x += 0.07L) {
      const PinDimensionCurve shaft(31, 1, kMn, kAlpha, 0.8L), hub(-31, 2, kMn, kAlpha, 0.7L);
      const long double sn = ToothThicknessFromShift(kMn, kAlpha, x);
      EXPECT_EQ(shaft(x), PinDimensionExternal(31, sn, pn, 31 * kMn, 2 * kAlpha, 0.8L));
      EXPECT_EQ(hub(x), -PinDimensionInternal(31, pn - sn, 31 * kMn, 2 * kAlpha - 2 * Pi / 31, 0.7L));
      EXPECT_EQ(PinDimensionForShift(31, 1, kMn, kAlpha, x, 0.8L), shaft(x));
      EXPECT_EQ(PinDimensionForShift(-31, 2, kMn, kAlpha, x, 0.7L), hub(x));
    }
  }
  const long double a = StandardBallDiameter(0, 31, kAlpha, 0.2L, 0.1L);
  StandardBallDiameter(0, -31, kAlpha, 0, 0.1L);
  EXPECT_EQ(StandardBallDiameter(0, 31, kAlpha, 0.2L, 0.1L), a);
  EXPECT_NE(StandardBallDiameter(0, 31, kAlpha, 0.2L, 0.11L), a);
}

TEST_F(ToothFormulas, StandardBallDiameterRounding) {
  EXPECT_EQ(StandardBallDiameter(0, 31, kAlpha, 0, kMn), 0.8L);
  EXPECT_EQ(StandardBallDiameter(0, -31, kAlpha, 0, kMn), 0.7L);
  // The unrounded value scales with mn: pick modules that give 0.449 and 0.56.
  const long double perModule = StandardBallDiameter(0, 31, kAlpha, 0, 0.1L) / 0.1L;
  EXPECT_NEAR(static_cast<double>(StandardBallDiameter(0, 31, kAlpha, 0, 0.449L / perModule)), 0.449, 1e-15);
  EXPECT_EQ(StandardBallDiameter(0, 31, kAlpha, 0, 0.56L / perModule), RoundDecimals(0.6L, 1));
  // Inch: to 0.001 inch, 0.8 mm -> 0.031 in.
  EXPECT_EQ(StandardBallDiameter(1, 31, kAlpha, 0, 0.8L / perModule), RoundDecimals(0.8L / 25.4L, 3) * 25.4L);
  EXPECT_EQ(Errors.ErrorCount, 0);
}

TEST_F(ToothFormulas, StandardBallDiameterOutOfRange) {
  // z cos alpha / (z + 2x) just above 1: zero, silently.
  const long double xAtOne = 31 * (std::cos(kAlpha) - 1) / 2;
  EXPECT_EQ(StandardBallDiameter(0, 31, kAlpha, xAtOne - 1e-7L, kMn), 0);
  EXPECT_EQ(Errors.ErrorCount, 0);
  // Far beyond 1: zero with the arccos message.
  EXPECT_EQ(StandardBallDiameter(0, 31, kAlpha, -10, kMn), 0);
  ASSERT_EQ(Errors.ErrorCount, 1);
  EXPECT_EQ(Errors.ErrorList[0].rfind("Error : Error: DmMess arccos(", 0), 0u);
  // z + 2x = 0: no contact circle at all; out of range, never a division by zero.
  ResetErrors();
  EXPECT_EQ(StandardBallDiameter(0, 31, kAlpha, -15.5L, kMn), 0);
  ASSERT_EQ(Errors.ErrorCount, 1);
  EXPECT_EQ(Errors.ErrorList[0].rfind("Error : Error: DmMess arccos(", 0), 0u);
  ResetErrors();
  EXPECT_EQ(StandardBallDiameter(0, -31, kAlpha, 15.5L, kMn), 0);
  EXPECT_EQ(Errors.ErrorCount, 1);
}

}  // namespace
}  // namespace qern
