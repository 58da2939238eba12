// Seeded random designs: the calculation never crashes and never leaves NaN or infinity.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "design/qerncalc.h"
#include "design/qernform.h"
#include "design/qernvar.h"
#include "framework/progvar.h"
#include "framework/utilmath.h"

namespace qern {
namespace {

bool AllFinite(DesignRecord r) {
  bool ok = true;
  ForEachRealField(r, [&](long double& v) { ok = ok && std::isfinite(v); });
  return ok;
}

class RandomDesigns : public ::testing::Test {
 public:
  void SetUp() override { InitProgramState(); }
  std::mt19937_64 rng{20240607};
  long double Uniform(long double lo, long double hi) {
    return std::uniform_real_distribution<double>(static_cast<double>(lo), static_cast<double>(hi))(rng);
  }
  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
};

// A plausible design of any input combination.
DesignRecord ValidDesign(RandomDesigns& g) {
  DesignRecord r;
  SetDefaultDesign(r);
  const int z = g.Pick(8, 120);
  const long double alphaDeg = g.Uniform(20, 45);
  const long double mn = g.Uniform(0.2L, 5);
  r.ToothCount[1] = z;
  r.ToothCount[2] = -z;
  r.FitMode = g.Pick(0, 2);
  r.AngleCode = g.Pick(0, 2);
  r.PressureAngleDeg = alphaDeg;
  r.FlankAngleExternal = DegToRad(2 * alphaDeg);
  r.FlankAngleInternal = r.FlankAngleExternal - 2 * Pi / z;
  r.PitchInputMode = g.Pick(1, 2);
  r.NormalModule = mn;
  r.DiametralPitch = 25.4L / mn;
  r.MajorDiameterInput = g.Pick(0, 2);
  r.MinorDiameterInput = g.Pick(0, 2);
  r.ClearancesAsFactors = g.Pick(0, 1) == 1;
  r.MajorClearanceFactor = g.Uniform(0, 0.3L);
  r.MinorClearanceFactor = g.Uniform(0, 0.3L);
  r.FlankClearanceFactor = g.Uniform(0, 0.1L);
  r.MajorClearance = r.MajorClearanceFactor * mn;
  r.MinorClearance = r.MinorClearanceFactor * mn;
  r.FlankClearance = r.FlankClearanceFactor * mn;
  const long double alpha = DegToRad(alphaDeg);
  for (int i = 1; i <= 2; ++i) {
    r.XInputMode[i] = g.Pick(0, 3);
    r.ProfileShift[i] = g.Uniform(-1, 1);
    r.ToolAddendumFactor[i] = g.Uniform(0.6L, 1.4L);
    r.ToolDedendumFactor[i] = g.Uniform(0.6L, 1.4L);
    r.ToolTipRadiusFactor[i] = g.Uniform(0, 0.4L);
    r.PinDiameter[i] = g.Pick(0, 1) ? 0 : g.Uniform(0.5L, 2.5L) * mn;
    const long double xi = g.Uniform(-1, 1);
    r.ToothThicknessInput[i] = ToothThicknessFromShift(mn, alpha, xi);
    r.SpaceWidthInput[i] = SpaceWidthFromShift(mn, alpha, xi);
    const long double dm = r.PinDiameter[i] != 0 ? r.PinDiameter[i] : 1.8L * mn;
    r.PinDimension[i] = PinDimensionForShift(r.ToothCount[i], i, mn, alpha, g.Uniform(-1.7L, 1.7L), dm);
  }
  r.TipDiameterInput[1] = mn * (z + g.Uniform(0.5L, 2.5L));
  r.RootDiameterInput[1] = mn * (z - g.Uniform(0.5L, 2.5L));
  r.TipDiameterInput[2] = mn * (z - g.Uniform(0.5L, 2.5L));
  r.RootDiameterInput[2] = mn * (z + g.Uniform(0.5L, 2.5L));
  return r;
}

TEST_F(RandomDesigns, ValidDesignsStayFiniteAndConsistent) {
  int calculated = 0;
  for (int n = 0; n < 4000; ++n) {
    DesignRecord r = ValidDesign(*this);
    ErrorListRecord list;
    bool fatal = false;
    CalculateSerration(r, list, fatal);
    ASSERT_TRUE(AllFinite(r)) << "design " << n;
    ASSERT_LE(list.ErrorCount, MaxErrors);
    if (fatal) continue;
    ++calculated;
    const long double mn = r.NormalModule;
    ASSERT_EQ(r.ToothCount[2], -r.ToothCount[1]) << n;
    ASSERT_NEAR(static_cast<double>(r.FlankAngleExternal), static_cast<double>(2 * r.PressureAngle), 1e-12) << n;
    ASSERT_GT(r.FlankAngleInternal, 0) << n;
    ASSERT_NEAR(static_cast<double>(r.NormalPitch), static_cast<double>(Pi * mn), 1e-12) << n;
    ASSERT_NEAR(static_cast<double>(r.DiametralPitch * mn), 25.4, 1e-9) << n;
    ASSERT_NEAR(static_cast<double>(r.MajorClearanceFactor * mn), static_cast<double>(r.MajorClearance), 1e-9) << n;
    ASSERT_NEAR(static_cast<double>(r.MinorClearanceFactor * mn), static_cast<double>(r.MinorClearance), 1e-9) << n;
    ASSERT_NEAR(static_cast<double>(r.FlankClearanceFactor * mn), static_cast<double>(r.FlankClearance), 1e-9) << n;
    ASSERT_LT(r.PitchDiameter[2], 0) << n;
    ASSERT_NEAR(static_cast<double>(r.PinMeasurement[1]), static_cast<double>(r.PinDimension[1]), 1e-9) << n;
  }
  EXPECT_GT(calculated, 2000);  // most plausible designs calculate
}

TEST_F(RandomDesigns, WildInputsNeverLeaveNaN) {
  auto wild = [&]() -> long double {
    switch (Pick(0, 5)) {
      case 0: return 0;
      case 1: return Uniform(-2, 2);
      case 2: return Uniform(-200, 200);
      case 3: return Pick(0, 1) ? 1e300L : -1e-300L;
      default: return Uniform(0, 30);
    }
  };
  for (int n = 0; n < 3000; ++n) {
    DesignRecord r = ValidDesign(*this);
    r.FitMode = Pick(-1, 3);
    r.AngleCode = static_cast<std::uint16_t>(Pick(0, 3));
    r.MajorDiameterInput = static_cast<std::uint16_t>(Pick(0, 3));
    r.MinorDiameterInput = static_cast<std::uint16_t>(Pick(0, 3));
    r.ToothCount[1] = Pick(-3, 400);
    ForEachRealField(r, [&](long double& v) {
      if (Pick(0, 7) == 0) v = wild();
    });
    ErrorListRecord list;
    bool fatal = false;
    CalculateSerration(r, list, fatal);
    ASSERT_TRUE(AllFinite(r)) << "design " << n;
  }
}

// The values a design is known by, bit for bit (a long double's 80 bits, not its padding).
bool SameKeyValues(const DesignRecord& a, const DesignRecord& b) {
  auto same = [](const long double& x, const long double& y) { return std::memcmp(&x, &y, 10) == 0; };
  return a.ToothCount == b.ToothCount && same(a.NormalModule, b.NormalModule) &&
         same(a.PressureAngleDeg, b.PressureAngleDeg) && same(a.PitchDiameter[1], b.PitchDiameter[1]) &&
         same(a.PitchDiameter[2], b.PitchDiameter[2]) && same(a.ProfileShift[1], b.ProfileShift[1]) &&
         same(a.ProfileShift[2], b.ProfileShift[2]);
}

TEST_F(RandomDesigns, KeyValuesAreThoseOfTheWholeCalculation) {
  int fatal = 0;
  for (int n = 0; n < 6000; ++n) {
    DesignRecord input = ValidDesign(*this);
    if (n >= 3000) {  // wild inputs: fatal stops at every step
      input.FitMode = Pick(-1, 3);
      input.AngleCode = static_cast<std::uint16_t>(Pick(0, 3));
      input.ToothCount[1] = Pick(-3, 400);
      ForEachRealField(input, [&](long double& v) {
        if (Pick(0, 7) == 0) v = Pick(0, 1) ? 0.0L : Uniform(-200, 200);
      });
    }
    DesignRecord whole = input, key = input;
    ErrorListRecord wholeList, keyList;
    bool wholeFatal = false, keyFatal = false;
    CalculateSerration(whole, wholeList, wholeFatal);
    CalculateKeyValues(key, keyList, keyFatal);
    ASSERT_TRUE(SameKeyValues(whole, key)) << "design " << n;
    ASSERT_TRUE(AllFinite(key)) << "design " << n;
    fatal += wholeFatal;
  }
  EXPECT_GT(fatal, 100);  // the stops are among them
}

}  // namespace
}  // namespace qern
