// Serration calculation: reference design, fatal stops, fit modes, checks and the
// profile-shift iteration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "design/qerncalc.h"
#include "design/qernform.h"
#include "design/qernvar.h"
#include "framework/progvar.h"
#include "framework/utilmath.h"

namespace qern {
namespace {

using Texts = std::vector<std::string>;

Texts Messages() { return {Errors.ErrorList.begin(), Errors.ErrorList.begin() + Errors.ErrorCount}; }

bool HasMessage(const std::string& text) {
  const auto m = Messages();
  return std::find(m.begin(), m.end(), text) != m.end();
}

#define EXPECT_REF(value, ref) EXPECT_NEAR(static_cast<double>(value), (ref), 1e-5)

class Calculation : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetDefaultDesign();
  }
  DesignRecord& r = Design;
};

TEST_F(Calculation, DefaultDesignReferenceValues) {
  CalculateSerration();
  EXPECT_FALSE(Flags.FatalError);
  EXPECT_EQ(Messages(), Texts{});
  EXPECT_REF(RadToDeg(r.FlankAngleExternal), 60);
  EXPECT_REF(RadToDeg(r.FlankAngleInternal), 48.387097);
  EXPECT_REF(r.NormalModule, 0.41934);
  EXPECT_REF(r.NormalPitch, 1.317395);
  EXPECT_REF(r.DiametralPitch, 60.571374);
  const double d[] = {0, 12.99954, -12.99954}, db[] = {0, 11.257932, -11.257932},
               df[] = {0, 12.052115, -14.146394}, da[] = {0, 13.9, -12.3},
               dFf[] = {0, 12.156950, -14.022651}, dfmin[] = {0, 11.842445, -14.448338},
               h[] = {0, 0.923942, 0.923197}, c[] = {0, 0.123197, 0.123942},
               hf[] = {0, 1.073663, 0.834096}, ha[] = {0, 1.129662, 1.367451},
               Dm[] = {0, 0.8, 0.7}, M[] = {0, 14.225192, -12.023921};
  for (int i = 1; i <= 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_REF(r.PitchDiameter[i], d[i]);
    EXPECT_REF(r.BaseDiameter[i], db[i]);
    EXPECT_REF(r.RootDiameter[i], df[i]);
    EXPECT_REF(r.TipDiameter[i], da[i]);
    EXPECT_REF(r.FormDiameter[i], dFf[i]);
    EXPECT_REF(r.MinRootDiameter[i], dfmin[i]);
    EXPECT_REF(r.ToothHeight[i], h[i]);
    EXPECT_REF(r.TipClearance[i], c[i]);
    EXPECT_REF(r.ToothThickness[i], 0.658698);
    EXPECT_REF(r.SpaceWidth[i], 0.658698);
    EXPECT_REF(r.ToolDedendumFactor[i], hf[i]);
    EXPECT_REF(r.ToolAddendumFactor[i], ha[i]);
    EXPECT_REF(r.ToolTipRadiusFactor[i], 0.25);
    EXPECT_REF(r.PinDiameter[i], Dm[i]);
    EXPECT_REF(r.StandardPinDiameter[i], Dm[i]);
    EXPECT_REF(r.PinMeasurement[i], M[i]);
    EXPECT_REF(r.PinDimension[i], M[i]);
    EXPECT_EQ(r.ProfileShift[i], 0);
  }
  EXPECT_REF(r.MajorClearance, 0.123197);
  EXPECT_REF(r.MinorClearance, 0.123942);
  EXPECT_REF(r.FlankClearance, 0);

  // A second run on its own results changes nothing.
  const DesignRecord first = r;
  CalculateSerration();
  EXPECT_EQ(Messages(), Texts{});
  for (int i = 1; i <= 2; ++i) {
    EXPECT_REF(r.RootDiameter[i], first.RootDiameter[i]);
    EXPECT_REF(r.TipDiameter[i], first.TipDiameter[i]);
    EXPECT_REF(r.PinMeasurement[i], first.PinMeasurement[i]);
  }
}

TEST_F(Calculation, GivenProfileShifts) {
  r.ProfileShift = {0, 0.3L, -0.3L};
  CalculateSerration();
  EXPECT_FALSE(Flags.FatalError);
  EXPECT_REF(r.RootDiameter[1], 12.310009);
  EXPECT_REF(r.RootDiameter[2], -14.461036);
  EXPECT_REF(r.PinMeasurement[1], 14.482755);
  EXPECT_REF(r.PinMeasurement[2], -12.338159);
  EXPECT_EQ(Messages(), (Texts{"Fehler : ci < 0 !", "Warnung: ci < rf1 !", "Fehler : dFf1>da2 !"}));
}

TEST_F(Calculation, ShiftFromPinDimensionRoundTrips) {
  r.XInputMode[1] = 3;
  r.PinDimension[1] = 14.225192L;
  CalculateSerration();
  EXPECT_FALSE(Flags.FatalError);
  EXPECT_NEAR(static_cast<double>(r.ProfileShift[1]), 0, 2e-4);

  for (long double x : {-0.7L, 0.25L, 1.1L}) {
    SCOPED_TRACE(static_cast<double>(x));
    SetDefaultDesign();
    r.XInputMode = {0, 3, 3};
    r.PinDiameter = {0, 0.8L, 0.7L};
    const long double t1 = PinDimensionForShift(31, 1, 0.41934L, Pi / 6, x, 0.8L);
    const long double t2 = PinDimensionForShift(-31, 2, 0.41934L, Pi / 6, -x, 0.7L);
    r.PinDimension = {0, t1, t2};
    CalculateSerration();
    EXPECT_FALSE(Flags.FatalError);
    EXPECT_NEAR(static_cast<double>(r.ProfileShift[1]), static_cast<double>(x), 2e-4);
    EXPECT_NEAR(static_cast<double>(r.ProfileShift[2]), static_cast<double>(-x), 2e-4);
    EXPECT_NEAR(static_cast<double>(r.PinDimension[1] - t1), 0, 1e-4);
    EXPECT_NEAR(static_cast<double>(r.PinDimension[2] - t2), 0, 1e-4);
  }
}

// A failed pin-dimension iteration is fatal and leaves x at 0.
TEST_F(Calculation, PinDimensionOutOfReachOrIterationFailure) {
  r.XInputMode[1] = 3;
  r.PinDimension[1] = 5;
  r.ProfileShift = {0, 0.4L, 1.6L};
  CalculateSerration();
  EXPECT_TRUE(Flags.FatalError);
  EXPECT_EQ(r.ProfileShift[1], 0);
  EXPECT_EQ(Messages(), (Texts{"Warnung: x > 1.5 !", "Fatal  : MdR < MdRmin !"}));

  // Few teeth and a steep flank: between pins the dimension has a minimum inside the bracket,
  // and the bisection runs into the bracket's end without reaching the target.
  SetDefaultDesign();
  r.ToothCount[1] = 4;
  r.AngleCode = 0;
  r.PressureAngleDeg = 70;
  r.NormalModule = 1;
  r.TipDiameterInput = {0, 5, 3};
  r.XInputMode[2] = 3;
  r.PinDiameter[2] = 2.3L;
  r.PinDimension[2] = PinDimensionForShift(-4, 2, 1, DegToRad(70.0L), -0.54L, 2.3L);
  r.ProfileShift[2] = 0.5L;
  CalculateSerration();
  EXPECT_TRUE(Flags.FatalError);
  EXPECT_EQ(r.ProfileShift[2], 0);
  EXPECT_EQ(Messages(), Texts{"Fehler :  Iteration (xe=-0.56)"});
}

TEST_F(Calculation, FatalInputsStopEarly) {
  struct Case {
    const char* name;
    void (*setup)(DesignRecord&);
    Texts messages;
    bool beforeGeometry;  // stopped before the pitch diameters
  };
  const Case cases[] = {
      {"angle code", [](DesignRecord& d) { d.AngleCode = 3; }, {"Fatal  : walcode!"}, true},
      {"no teeth", [](DesignRecord& d) { d.ToothCount[1] = 0; }, {"Fatal  : z = 0 !"}, true},
      {"negative teeth", [](DesignRecord& d) { d.ToothCount[1] = -31; }, {"Fatal  : z = 0 !"}, true},
      {"hub without teeth", [](DesignRecord& d) { d.ToothCount[2] = 0; }, {"Fatal  : z = 0 !"}, true},
      {"gamma i given as 0", [](DesignRecord& d) { d.AngleCode = 2; }, {"Fatal  : gammai <=0 !"}, true},
      {"too few teeth", [](DesignRecord& d) { d.ToothCount[1] = 5; }, {"Fatal  : gammai <=0 !"}, true},
      {"Pn given as 0", [](DesignRecord& d) { d.PitchInputMode = 2; }, {"Fatal  : pitch = 0 !"}, true},
      {"mn 0", [](DesignRecord& d) { d.NormalModule = 0; }, {"Fatal  : mn = 0 !"}, true},
      {"alpha 5", [](DesignRecord& d) { d.AngleCode = 0, d.PressureAngleDeg = 5, d.ToothCount[1] = 200; },
       {"Fatal  : 5 < alpha < 90 !"}, true},
      {"alpha 90", [](DesignRecord& d) { d.AngleCode = 0, d.PressureAngleDeg = 90; },
       {"Fatal  : 5 < alpha < 90 !"}, true},
      {"df 0", [](DesignRecord& d) { d.MinorDiameterInput = 1, d.RootDiameterInput[1] = 0; },
       {"Fatal  : df=0 ! (1)"}, false},
      {"da 0", [](DesignRecord& d) { d.TipDiameterInput[2] = 0; }, {"Fatal  : da=0 ! (2)"}, false},
      {"MdR too large", [](DesignRecord& d) { d.XInputMode[2] = 3, d.PinDimension[2] = 40; },
       {"Fatal  : MdR > MdRmax !"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetDefaultDesign();
    Errors.ErrorList[0] = "stale";
    c.setup(r);
    CalculateSerration();
    EXPECT_TRUE(Flags.FatalError);
    EXPECT_EQ(Messages(), c.messages);
    if (c.beforeGeometry) { EXPECT_EQ(r.PitchDiameter[1], 0); }
    EXPECT_EQ(r.RootDiameter[1], 0);  // no working geometry was computed
  }
  // Pn given as 0 leaves mn as it was.
  SetDefaultDesign();
  r.PitchInputMode = 2;
  CalculateSerration();
  EXPECT_EQ(r.NormalModule, 0.41934L);
  // Pn given: mn follows from it.
  r.DiametralPitch = 25.4L / 0.5L;
  CalculateSerration();
  EXPECT_FALSE(Flags.FatalError);
  EXPECT_REF(r.NormalModule, 0.5);
  EXPECT_REF(r.PitchDiameter[1], 15.5);
}

TEST_F(Calculation, BasicChecksAllRunBeforeTheFlag) {
  r.PressureAngleDeg = 3;
  r.DiametralPitch = 0;
  r.ToothCount[1] = 0;
  r.ProfileShift = {0, 1.6L, -1.6L};
  CheckBasicInputs(r);
  EXPECT_TRUE(Flags.FatalError);
  EXPECT_EQ(Messages(), (Texts{"Fatal  : 5 < alpha < 90 !", "Fatal  : Pn = 0 !", "Fatal  : z = 0 !",
                               "Warnung: x > 1.5 !", "Warnung: x < -1.5 !"}));
}

TEST_F(Calculation, OtherAngleInputs) {
  // alpha just below 90 degrees is accepted.
  r.AngleCode = 0;
  r.PressureAngleDeg = 89.5L;
  CalculateSerration();
  EXPECT_FALSE(Flags.FatalError);
  EXPECT_REF(RadToDeg(r.FlankAngleExternal), 179);
  EXPECT_NE(r.PitchDiameter[1], 0);
  // gamma_i given gives the default design again.
  SetDefaultDesign();
  r.AngleCode = 2;
  r.FlankAngleInternal = DegToRad(60 - 360.0L / 31);
  CalculateSerration();
  EXPECT_FALSE(Flags.FatalError);
  EXPECT_REF(r.PressureAngleDeg, 30);
  EXPECT_REF(r.RootDiameter[1], 12.052115);
}

TEST_F(Calculation, LargeProfileShiftWarnings) {
  r.ProfileShift[1] = 1.6L;
  CalculateSerration();
  EXPECT_FALSE(Flags.FatalError);
  EXPECT_TRUE(HasMessage("Warnung: x > 1.5 !"));
  EXPECT_TRUE(HasMessage("Warnung: x > 1.5   (1) !"));
  EXPECT_FALSE(HasMessage("Warnung: x > 1.5   (2) !"));

  SetDefaultDesign();
  r.ProfileShift = {0, 1.6L, 1.6L};
  CalculateSerration();
  const auto m = Messages();
  EXPECT_EQ(std::count(m.begin(), m.end(), "Warnung: x > 1.5 !"), 1);
  EXPECT_TRUE(HasMessage("Warnung: x > 1.5   (2) !"));
}

TEST_F(Calculation, FitModes) {
  // Shaft given: the hub follows from the clearance factors.
  r.FitMode = 1;
  r.MajorDiameterInput = r.MinorDiameterInput = 0;
  r.MajorClearanceFactor = 0.2L;
  r.MinorClearanceFactor = 0.15L;
  r.FlankClearanceFactor = 0.05L;
  r.ProfileShift[1] = 0.1L;
  CalculateSerration();
  EXPECT_FALSE(Flags.FatalError);
  const long double mn = r.NormalModule;
  EXPECT_REF(r.TipDiameterInput[1], mn * (31 + 2 * 0.1 + 2 * 1.0));
  EXPECT_REF(r.RootDiameterInput[2], r.TipDiameterInput[1] + 2 * 0.2L * mn);
  EXPECT_REF(-r.RootDiameter[2], r.TipDiameter[1] + 2 * 0.2L * mn);
  EXPECT_REF(r.TipDiameterInput[2], r.RootDiameterInput[1] + 2 * 0.15L * mn);
  EXPECT_REF(r.MajorClearance, 0.2 * 0.41934);
  EXPECT_REF(r.TipClearance[1], 0.2 * 0.41934);
  EXPECT_REF(r.SpaceWidth[2] - r.ToothThickness[1], 0.05 * 0.41934);
  EXPECT_REF(r.FlankClearance, 0.05 * 0.41934);

  // Hub given: the shaft follows from clearances in mm.
  SetDefaultDesign();
  r.FitMode = 2;
  r.ClearancesAsFactors = false;
  r.MajorClearance = 0.1L;
  r.MinorClearance = 0.08L;
  r.FlankClearance = 0.02L;
  r.ProfileShift[2] = 0.2L;
  CalculateSerration();
  EXPECT_FALSE(Flags.FatalError);
  EXPECT_REF(r.MajorClearanceFactor, 0.1 / 0.41934);
  EXPECT_REF(r.SpaceWidth[2] - r.ToothThickness[1], 0.02);
  EXPECT_REF(r.TipClearance[1], 0.1);
  EXPECT_REF(r.TipClearance[2], 0.08);

  // Both given: the flank clearance follows, here negative.
  SetDefaultDesign();
  r.ProfileShift[1] = 0.1L;
  CalculateSerration();
  EXPECT_FALSE(Flags.FatalError);
  EXPECT_REF(r.FlankClearance, -2 * 0.1 * 0.41934 * std::tan(Pi / 6));
  EXPECT_TRUE(HasMessage("Fehler : cp < 0 !"));
}

TEST_F(Calculation, PlausibilityMessages) {
  r.PinDiameter[1] = 1.2L;
  r.MinorDiameterInput = 1;
  r.RootDiameterInput[1] = 11.5L;  // below the sharp-tool root diameter
  r.TipDiameterInput[1] = 11;      // below the base circle
  CalculateSerration();
  EXPECT_FALSE(Flags.FatalError);
  EXPECT_TRUE(HasMessage("Warnung: Dm <> Dm DIN ! (1)"));
  EXPECT_FALSE(HasMessage("Warnung: Dm <> Dm DIN ! (2)"));
  EXPECT_TRUE(HasMessage("Fehler : rho f < 0 !  (1)"));
  EXPECT_FALSE(HasMessage("Fehler : df < dfmin !  (1)"));  // the radius message stands for it
  EXPECT_TRUE(HasMessage("Fehler : db > da ! (1)"));

  SetDefaultDesign();
  r.TipDiameterInput[1] = 14.2L;  // above the hub's root diameter
  CalculateSerration();
  EXPECT_TRUE(HasMessage("Fehler : ce < 0 !"));
  EXPECT_TRUE(HasMessage("Warnung: ce < rf2 !"));
  EXPECT_TRUE(HasMessage("Fehler : dFf2<da1 !"));

  SetDefaultDesign();
  CalculateSerration();
  r.MinRootDiameter[2] = r.RootDiameter[2] + 0.01L;
  CheckResults(r);
  EXPECT_EQ(Messages(), Texts{"Fehler : df < dfmin !  (2)"});
}

TEST_F(Calculation, SharpToolIsNoRootDiameterError) {
  // With tip radius 0 the root diameter is the smallest one; rounding must not report it.
  for (int z = 6; z < 60; ++z) {
    for (int alpha = 15; alpha <= 45; alpha += 5) {
      SetDefaultDesign();
      r.ToothCount[1] = z;
      r.AngleCode = 0;
      r.PressureAngleDeg = alpha;
      r.ToolTipRadiusFactor = {0, 0, 0};
      r.TipDiameterInput = {0, (z + 1) * r.NormalModule, (z - 1) * r.NormalModule};
      r.ProfileShift[1] = 0.1L;
      CalculateSerration();
      if (Flags.FatalError) continue;
      ASSERT_FALSE(HasMessage("Fehler : df < dfmin !  (1)")) << z << " " << alpha;
      ASSERT_FALSE(HasMessage("Fehler : df < dfmin !  (2)")) << z << " " << alpha;
    }
  }
}

TEST_F(Calculation, ScratchRecordKeepsProgramMessages) {
  AddError("program message");
  Flags.AbortFlag = true;
  DesignRecord scratch;
  SetDefaultDesign(scratch);
  scratch.ToothCount[1] = 0;
  ErrorListRecord list;
  bool fatal = false;
  CalculateSerration(scratch, list, fatal);
  EXPECT_TRUE(fatal);
  ASSERT_EQ(list.ErrorCount, 1);
  EXPECT_EQ(list.ErrorList[0], "Fatal  : z = 0 !");
  EXPECT_EQ(Messages(), Texts{"program message"});
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_FALSE(Flags.FatalError);

  scratch.ToothCount[1] = 31;
  CalculateSerration(scratch, list, fatal);
  EXPECT_FALSE(fatal);
  EXPECT_EQ(list.ErrorCount, 0);
  EXPECT_REF(scratch.PinMeasurement[1], 14.225192);
}

TEST_F(Calculation, AbsurdMagnitudesLeaveNoInfinity) {
  r.PitchInputMode = 2;
  r.DiametralPitch = 1e-4940L;  // a denormal: mn overflows
  CalculateSerration();
  EXPECT_TRUE(Flags.FatalError);
  EXPECT_TRUE(HasMessage("Fatal  : Zahlenbereich !"));
  EXPECT_TRUE(std::isfinite(r.NormalModule));
}

TEST(CalculationMessages, KeysAreDistinctPrefixes) {
  const auto& keys = CalculationMessageKeys();
  EXPECT_EQ(keys.size(), CalculationMessages().size() - 1);  // two x > 1.5 texts share a key
  for (const auto& k : keys) EXPECT_EQ(k.size(), 14u) << k;
  EXPECT_NE(std::find(keys.begin(), keys.end(), "Warnung: x > 1"), keys.end());
  EXPECT_NE(std::find(keys.begin(), keys.end(), "Error : Error:"), keys.end());
}

}  // namespace
}  // namespace qern
