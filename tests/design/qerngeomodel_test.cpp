// Geometry window model: record <-> fields, texts that read back, enable rules, presets.
#include "design/qerngeomodel.h"

#include <gtest/gtest.h>

#include <cmath>

#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "framework/progvar.h"
#include "framework/utilmath.h"
#include "framework/utilstr.h"

namespace qern {
namespace {

double D(long double x) { return static_cast<double>(x); }

class GeometryModel : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetDecimalSeparator('.');
    SetDefaultDesign();
    CalculateSerration();
  }
  void TearDown() override { SetDecimalSeparator('.'); }
};

TEST_F(GeometryModel, ToothCountHubSignAndTipRadius) {
  GeometryInputs in = InputsFromDesign(Design);
  in.Value[Index(GeoField::Z)] = FieldValueFromText(GeoField::Z, "31");
  in.Value[Index(GeoField::Mdr2)] = FieldValueFromText(GeoField::Mdr2, "12.5");
  in.Value[Index(GeoField::Rf1)] = FieldValueFromText(GeoField::Rf1, "0.2");
  in.Value[Index(GeoField::Mn)] = 0.5L;
  StoreInputs(in, Design);
  EXPECT_EQ(Design.ToothCount[1], 31);
  EXPECT_EQ(Design.ToothCount[2], -31);
  EXPECT_EQ(Design.PinDimension[2], -12.5L);
  EXPECT_NEAR(D(Design.ToolTipRadiusFactor[1]), 0.4, 1e-15);
  // Whatever the sign typed, the hub's dimension between pins is held negative.
  EXPECT_EQ(FieldValueFromText(GeoField::Mdr2, "-12.5"), -12.5L);
  // With mn = 0 the tip radius cannot become a factor and is left alone.
  in.Value[Index(GeoField::Mn)] = 0;
  StoreInputs(in, Design);
  EXPECT_NEAR(D(Design.ToolTipRadiusFactor[1]), 0.4, 1e-15);
}

TEST_F(GeometryModel, ShownTextsReadBackToTheShownValue) {
  for (char sep : {'.', ','}) {
    SetDecimalSeparator(sep);
    for (int unit : {0, 1}) {
      Settings.UnitSystem = unit;
      for (int i = 0; i < GeoFieldCount; ++i) {
        GeoField f = FieldAt(i);
        for (long double v : {0.0L, 0.41934L, -13.8912345678L, 1.0471975511965976L, 1e-6L, 31.0L}) {
          if (f == GeoField::Mdr2) v = -std::fabs(v);  // held negative
          std::string text = FieldText(f, v);
          long double back = FieldValueFromText(f, text);
          EXPECT_EQ(FieldText(f, back), text) << FieldControlName(f) << " " << text;
          if (FieldKind(f) != GeoFieldKind::Count) {
            EXPECT_NEAR(D(back), D(v), std::fabs(D(v)) * 1e-6 + 1e-12) << FieldControlName(f);
          }
        }
      }
    }
  }
  EXPECT_EQ(FieldText(GeoField::Mn, 25.4L), "1");  // inch, ","
  EXPECT_EQ(FieldValueFromText(GeoField::Mn, "0,5"), 12.7L);
  EXPECT_EQ(FieldText(GeoField::Xe1, 0.5L), "0,5");  // numbers are not converted
  EXPECT_EQ(FieldText(GeoField::GammaE, Pi / 3), "60");
}

TEST_F(GeometryModel, EnableRulesFollowTheModes) {
  GeometryChoices c;  // fit 1 + 2, x given, mn given, alpha given, factors, lengths
  c.ShiftInput = {0, 0, 2};
  auto on = EnabledFields(c);
  auto is = [&](GeoField f) { return on[Index(f)]; };
  EXPECT_TRUE(is(GeoField::Mn));
  EXPECT_FALSE(is(GeoField::Pn));
  EXPECT_TRUE(is(GeoField::Alpha));
  EXPECT_FALSE(is(GeoField::GammaE));
  EXPECT_TRUE(is(GeoField::Fhf1) && is(GeoField::Fha2) && is(GeoField::Fha1) && is(GeoField::Fhf2));
  EXPECT_FALSE(is(GeoField::Da1) || is(GeoField::Df2) || is(GeoField::Rf2) || is(GeoField::Da2));
  EXPECT_TRUE(is(GeoField::Xe1) && is(GeoField::Mdr2));
  EXPECT_FALSE(is(GeoField::Xe2) || is(GeoField::Sn1));
  // Clearances are results with both parts given.
  for (GeoField f : {GeoField::Ce, GeoField::Ci, GeoField::Cp, GeoField::CeMn}) EXPECT_FALSE(is(f));
  EXPECT_TRUE(is(GeoField::Z) && is(GeoField::Dmess1) && is(GeoField::Dmess2));

  // Shaft given: the hub's inputs follow from it and the clearance factors.
  c.FitMode = 1;
  c.MajorInput = 2;
  c.MinorInput = 1;
  c.ClearancesAsFactors = true;
  c.PitchInput = 1;
  c.AngleInput = 2;
  on = EnabledFields(c);
  EXPECT_TRUE(is(GeoField::Pn) && !is(GeoField::Mn));
  EXPECT_TRUE(is(GeoField::GammaI) && !is(GeoField::Alpha));
  EXPECT_TRUE(is(GeoField::Da1) && is(GeoField::Df1));
  EXPECT_FALSE(is(GeoField::Rf2) || is(GeoField::Da2) || is(GeoField::Mdr2) || is(GeoField::Xe2));
  EXPECT_TRUE(is(GeoField::CeMn) && is(GeoField::CiMn) && is(GeoField::CpMn));
  EXPECT_FALSE(is(GeoField::Ce));
  // Hub given.
  c.FitMode = 2;
  c.ClearancesAsFactors = false;
  on = EnabledFields(c);
  EXPECT_TRUE(is(GeoField::Rf2) && is(GeoField::Da2) && is(GeoField::Mdr2));
  EXPECT_FALSE(is(GeoField::Da1) || is(GeoField::Df1) || is(GeoField::Xe1));
  EXPECT_TRUE(is(GeoField::Ce) && !is(GeoField::CeMn));
  // No item chosen (x = 0): none of the part's shift inputs.
  c.ShiftInput[2] = -1;
  on = EnabledFields(c);
  EXPECT_FALSE(is(GeoField::Xe2) || is(GeoField::En2) || is(GeoField::Mdr2));
}

TEST_F(GeometryModel, ChoicesOfCodesWithoutAnItemKeepTheCode) {
  Design.XInputMode[1] = 0;
  Design.AngleCode = 7;
  GeometryChoices c = ChoicesFromDesign(Design);
  EXPECT_EQ(c.ShiftInput[1], -1);
  EXPECT_EQ(c.AngleInput, -1);
  StoreChoices(c, Design);
  EXPECT_EQ(Design.XInputMode[1], 0);
  EXPECT_EQ(Design.AngleCode, 7);
  c.AngleInput = 2;
  c.ShiftInput[2] = 2;
  StoreChoices(c, Design);
  EXPECT_EQ(Design.AngleCode, 2);
  EXPECT_EQ(Design.XInputMode[2], 3);
}

TEST_F(GeometryModel, PresetValues) {
  long double f = 0;
  EXPECT_FALSE(DedendumFactorPreset(9.9L, f));  // below 10 degrees nothing is proposed
  // The standard pin diameter, rounded to 0.1 mm.
  long double dm = PinDiameterPreset(Design, 1);
  EXPECT_GT(dm, 0.5L);
  EXPECT_NEAR(D(dm * 10), std::round(D(dm * 10)), 1e-9);

  // Both parts given: each tip leaves 0.5 mn to the mate's root.
  long double da = 0;
  ASSERT_TRUE(TipDiameterPreset(Design, 1, da));
  EXPECT_NEAR(D(da), D(RoundDecimals(std::fabs(Design.RootDiameter[2]) - Design.ToolTipRadius[2] -
                                         0.5L * Design.NormalModule, 2)), 1e-15);
  ASSERT_TRUE(TipDiameterPreset(Design, 2, da));
  EXPECT_NEAR(D(da), D(RoundDecimals(Design.RootDiameter[1] + Design.ToolTipRadius[2] +
                                         0.5L * Design.NormalModule, 2)), 1e-15);
  // The derived part has no proposal.
  Design.FitMode = 1;
  EXPECT_FALSE(TipDiameterPreset(Design, 2, da));
  EXPECT_TRUE(TipDiameterPreset(Design, 1, da));
  Design.FitMode = 2;
  EXPECT_FALSE(TipDiameterPreset(Design, 1, da));
  EXPECT_TRUE(TipDiameterPreset(Design, 2, da));
}

TEST_F(GeometryModel, ResultLinesAndPitchDiameter) {
  EXPECT_EQ(PitchDiameterText(Design), "d = 13.000 mm");
  auto lines = GeometryResults(Design);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].Caption, "d");
  EXPECT_EQ(lines[0].Shaft, "13.000");
  EXPECT_EQ(lines[0].Hub, "-13.000");
  Settings.UnitSystem = 1;
  EXPECT_EQ(PitchDiameterText(Design), "d = 0.5118 in");
}


// Range messages the user can act on: the value typed (not one derived from it), in the units
// shown, with the digits that put it visibly outside the range shown.
TEST(GeometryRangeMessages, NameTheValueTypedInTheUnitsShown) {
  struct Case {
    int Units;  // 0 mm, 1 inch
    GeoField Field;
    const char* Typed;
    const char* Messages;  // every message, one per line; "" = taken
  };
  const Case cases[] = {
      {0, GeoField::Mn, "0.005", "Fatal  : mn = 0.005 mm: Gültiger Wertebereich: 0.01 .. 1000000 mm !\n"},
      {0, GeoField::Mn, "0.00999999999",
       "Fatal  : mn = 0.00999999999 mm: Gültiger Wertebereich: 0.01 .. 1000000 mm !\n"},
      {0, GeoField::Mn, "0.01", ""},
      {1, GeoField::Mn, "0.0003",
       "Fatal  : mn = 0.0003 in: Gültiger Wertebereich: 0.0003937008 .. 39370.07 in !\n"},
      {1, GeoField::Mn, "0.0003937", "Fatal  : mn = 0.0003937 in: Gültiger Wertebereich: 0.0003937008 .. 39370.07 in !\n"},
      {1, GeoField::Mn, "0.0003938", ""},
      {1, GeoField::Dmess1, "-0.5", "Fatal  : Dm1 = -0.5 in: Gültiger Wertebereich: 0 .. 39370.07 in !\n"},
      {0, GeoField::Dmess1, "-0.5", "Fatal  : Dm1 = -0.5 mm: Gültiger Wertebereich: 0 .. 1000000 mm !\n"},
      {0, GeoField::Rf1, "-1000000",
       "Fatal  : rf1 = -1000000 mm: Gültiger Wertebereich: -419340 .. 419340 mm !\n"},
      // Derived values are named when nothing typed is out of range.
      {0, GeoField::Dmess1, "0", ""},
      {0, GeoField::Mn, "35000",
       "Fatal  : MdR2 = -1204373 mm: Gültiger Wertebereich: -1000000 .. 1000000 mm !\n"
       "Fatal  : df2 = 1205923 mm: Gültiger Wertebereich: -1000000 .. 1000000 mm !\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Typed) + (c.Units ? " in" : " mm"));
    InitProgramState();
    SetDecimalSeparator('.');
    SetDefaultDesign();
    Settings.UnitSystem = c.Units;
    CalculateSerration();
    GeometryInputs in = InputsFromDesign(Design);
    in.Choices.MinorInput = 2;  // the shaft's tip radius typed
    in.Value[Index(c.Field)] = FieldValueFromText(c.Field, c.Typed);
    StoreInputs(in, Design);
    CalculateGeometry();
    std::string all;
    for (int i = 0; i < Errors.ErrorCount && i < MaxErrors; ++i)
      if (Errors.ErrorList[i].rfind("Fatal", 0) == 0) all += Errors.ErrorList[i] + "\n";
    EXPECT_EQ(all, c.Messages);
  }
}
}  // namespace
}  // namespace qern
