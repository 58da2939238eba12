// One range for what the geometry window takes, what Save writes and what Open reads: designs at
// and just past each bound entered through the window's logic, saved, opened again (the reader
// and a batch run), and random designs that the window accepts always open again.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/qernstart.h"
#include "design/aendvar.h"
#include "design/qerncalc.h"
#include "design/qerngeomodel.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "framework/dokuconf.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

namespace fs = std::filesystem;
using test::ReadFileLines;
using test::WriteFileLines;

class DesignRange : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetProgramIdentity();
    SetDecimalSeparator('.');
    SetDefaultDesign();
    InitDrawingInfo();
    InitDocumentLinks();
    Session.CurrentFileFolder = tmp_.Path() + "/";
  }
  std::string Path(const std::string& name) const { return tmp_.File(name); }

  // Types text into a field of the window on the current design, with the window's calculation;
  // true when the window takes it (no fatal message).
  static bool Enter(GeoField f, const std::string& text) {
    GeometryInputs in = InputsFromDesign(Design);
    in.Value[Index(f)] = FieldValueFromText(f, text);
    StoreInputs(in, Design);
    CalculateGeometry();
    return !Flags.FatalError;
  }
  static std::string Messages() {
    std::string all;
    for (int i = 0; i < Errors.ErrorCount && i < MaxErrors; ++i) all += Errors.ErrorList[i] + "\n";
    return all;
  }
  // Saves the design and opens it again (as Open does, and in a run of wqern with /I); true when
  // both read it.
  bool SavedAndOpened(const std::string& name, bool batch = true) {
    const DesignRecord before = Design;
    Flags.AskOverwrite = false;
    SaveDataFile(Path(name));
    if (Flags.AbortFlag) return false;
    SetDefaultDesign();
    ReadDataFile(Path(name));
    if (Flags.AbortFlag) return false;
    // The input of the pitch as written; the other one follows from it.
    if (before.PitchInputMode == 2)
      EXPECT_NEAR(static_cast<double>(Design.DiametralPitch), static_cast<double>(before.DiametralPitch), 1e-7);
    else
      EXPECT_NEAR(static_cast<double>(Design.NormalModule), static_cast<double>(before.NormalModule), 1e-7);
    if (!batch) return true;
    const std::string cmd = "cd '" + tmp_.Path() + "' && env -u DISPLAY timeout -s KILL 20 '" QERN_WQERN "' '" +
                            name + "' /I 0<&- >/dev/null 2>&1";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  test::TempFolder tmp_;
};

TEST_F(DesignRange, TheModulesBoundsHoldForTheWindowSaveAndOpen) {
  ScopedScriptedDialogs dialogs;
  EXPECT_TRUE(Enter(GeoField::Mn, "0.01"));
  EXPECT_TRUE(SavedAndOpened("small.qrk"));
  for (const char* mn : {"0.0099999", "0.000001", "0.000000001", "-0.41934", "-1000"}) {
    SCOPED_TRACE(mn);
    SetDefaultDesign();
    EXPECT_FALSE(Enter(GeoField::Mn, mn));
    EXPECT_NE(Messages().find("Fatal  : mn = "), std::string::npos) << Messages();
    EXPECT_NE(Messages().find(": Gültiger Wertebereich: 0.01 .. 1000000 !"), std::string::npos) << Messages();
    // Saved anyway (the window refused it, but the record holds it): nothing is written.
    dialogs->Clear();
    EXPECT_FALSE(SavedAndOpened("refused.qrk"));
    EXPECT_FALSE(fs::exists(Path("refused.qrk")));
    ASSERT_EQ(dialogs->Messages().size(), 1u);
    EXPECT_NE(dialogs->Messages()[0].find("nicht gespeichert: mn = "), std::string::npos)
        << dialogs->Messages()[0];
  }

  // The largest module of 28 teeth, all diameters from the tool factors: every stored value
  // within a million; just past it, not.
  SetDefaultDesign();
  Design.ToothCount = {0, 28, -28};
  Design.MajorDiameterInput = Design.MinorDiameterInput = 0;
  const DesignRecord scaled = Design;
  auto takes = [&](long double mn) {
    Design = scaled;
    return Enter(GeoField::Mn, ExtendedLineText(mn));
  };
  long double lo = 1, hi = 1e5;
  for (int i = 0; i < 60; ++i) {
    const long double mid = std::sqrt(lo * hi);
    (takes(mid) ? lo : hi) = mid;
  }
  lo = std::stold(ExtendedLineText(lo));
  ASSERT_TRUE(takes(lo));
  EXPECT_GT(lo, 25000);
  EXPECT_LT(lo, 35000);
  EXPECT_TRUE(SavedAndOpened("large.qrk"));
  EXPECT_FALSE(takes(lo + 0.0000002L));
  EXPECT_NE(Messages().find("Gültiger Wertebereich: -1000000 .. 1000000 !"), std::string::npos)
      << Messages();
  EXPECT_FALSE(Enter(GeoField::Mn, "100000"));
  dialogs->Clear();
  EXPECT_FALSE(SavedAndOpened("large.qrk", false));
  ASSERT_FALSE(dialogs->Messages().empty());
  EXPECT_NE(dialogs->Messages()[0].find("nicht gespeichert"), std::string::npos);
  SetDefaultDesign();
  ReadDataFile(Path("large.qrk"));  // the file saved before is still the one at the bound
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_NEAR(static_cast<double>(Design.NormalModule), static_cast<double>(lo), 1e-7);
}

TEST_F(DesignRange, DiametralPitchAndPinDiametersHaveTheirBoundsToo) {
  ScopedScriptedDialogs dialogs;
  GeometryInputs in = InputsFromDesign(Design);
  in.Choices.PitchInput = 1;  // Pn given
  StoreInputs(in, Design);
  EXPECT_TRUE(Enter(GeoField::Pn, "2540"));
  EXPECT_TRUE(SavedAndOpened("pn.qrk"));
  EXPECT_EQ(Design.PitchInputMode, 2);
  EXPECT_FALSE(Enter(GeoField::Pn, "2540.01"));
  EXPECT_NE(Messages().find("Fatal  : Pn = "), std::string::npos) << Messages();
  EXPECT_FALSE(Enter(GeoField::Pn, "-24"));
  EXPECT_TRUE(Enter(GeoField::Pn, "24"));

  SetDefaultDesign();
  EXPECT_TRUE(Enter(GeoField::Dmess1, "0"));  // the standard diameter
  EXPECT_GT(Design.PinDiameter[1], 0);
  EXPECT_TRUE(Enter(GeoField::Dmess2, "0.8"));
  EXPECT_TRUE(SavedAndOpened("pins.qrk", false));
  EXPECT_FALSE(Enter(GeoField::Dmess1, "-0.5"));
  EXPECT_NE(Messages().find("Fatal  : Dm1 = -0.5: Gültiger Wertebereich: 0 .. 1000000 !"), std::string::npos)
      << Messages();
  EXPECT_FALSE(SavedAndOpened("pins.qrk", false));

  // A value of the record at the magnitude bound as its line holds it.
  SetDefaultDesign();
  Design.FlankClearanceFactor = 1e6L + 4e-8L;  // written as 1000000.0000000
  EXPECT_TRUE(ValuesOutOfRange(Design).empty());
  Design.FlankClearanceFactor = 1e6L + 6e-8L;  // written as 1000000.0000001
  ASSERT_EQ(ValuesOutOfRange(Design).size(), 1u);
  EXPECT_EQ(ValuesOutOfRange(Design)[0].Name, "cp/mn");
  // A placed drawing text far out is no file either.
  SetDefaultDesign();
  DrawingInfo.PlacedTextCount = 1;
  DrawingInfo.PlacedTexts[0] = {10, -2e6L, 3.5L, 0, "weit"};
  dialogs->Clear();
  EXPECT_FALSE(SavedAndOpened("text.qrk", false));
  ASSERT_FALSE(dialogs->Messages().empty());
  EXPECT_NE(dialogs->Messages()[0].find("Zeichnungstext 1 Y = "), std::string::npos);
}

// Files with such values are refused on reading, the module's lower bound and its inverse too.
TEST_F(DesignRange, TheReaderRefusesWhatTheWindowRefuses) {
  ASSERT_TRUE(WriteDesignFile(Path("good.qrk"), CurrentDesignContent()));
  const std::vector<std::string> lines = ReadFileLines(Path("good.qrk"));
  ASSERT_EQ(lines[9], "0.4193400");
  struct Case {
    std::size_t Line;
    const char* Value;
    bool Ok;
  };
  for (const Case& c : {Case{9, "-0.41934", false}, Case{9, "0.000001", false},
                        Case{9, "1e-9", false}, Case{9, "0.0099999", false}, Case{9, "0", false},
                        Case{9, "0.01", true}, Case{9, "0,0100000", true}, Case{9, "1000000", true},
                        Case{45, "0", true}, Case{45, "2540", true}, Case{45, "2540.0000001", false},
                        Case{45, "-24", false}, Case{45, "0.0000254", true},
                        Case{45, "0.0000253", false}, Case{22, "-1", false}, Case{22, "0", true},
                        Case{34, "-0.5", false}, Case{34, "1.7", true}}) {
    std::vector<std::string> changed = lines;
    changed[c.Line] = c.Value;
    WriteFileLines(Path("changed.qrk"), changed);
    DesignFileContent content;
    EXPECT_EQ(ReadDesignFile(Path("changed.qrk"), content), c.Ok) << c.Line << ": " << c.Value;
  }
  // A file whose values lie in their ranges opens even when its calculation gives results out of
  // range (module 100000 with 28 teeth); Save then refuses to write those results and keeps the
  // file as it was.
  ScopedScriptedDialogs dialogs;
  std::vector<std::string> changed = lines;
  changed[9] = "100000";
  changed[10] = "28";
  WriteFileLines(Path("huge.qrk"), changed);
  ReadDataFile(Path("huge.qrk"));
  ASSERT_FALSE(Flags.AbortFlag);
  EXPECT_FALSE(ValuesOutOfRange(Design).empty());
  Flags.AskOverwrite = false;
  SaveDataFile(Path("huge.qrk"));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ReadFileLines(Path("huge.qrk")), changed);
  ASSERT_EQ(dialogs->Messages().size(), 1u);
  EXPECT_NE(dialogs->Messages()[0].find("nicht gespeichert"), std::string::npos);
}

// Random designs: each one the window takes is saved and opened again; each one it refuses is
// not saved.
TEST_F(DesignRange, EveryDesignTheWindowTakesOpensAgain) {
  ScopedScriptedDialogs dialogs;
  std::mt19937 random(20261208);
  auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(random); };
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  int taken = 0, refused = 0, batch = 0;
  for (int i = 0; i < 300; ++i) {
    SetDefaultDesign();
    GeometryInputs in = InputsFromDesign(Design);
    in.Choices = {pick(3), {0, pick(3), pick(3)}, pick(2), pick(3), pick(3), pick(3), pick(2) == 1};
    auto set = [&](GeoField f, double v) { in.Value[Index(f)] = v; };
    const double mn = std::pow(10.0, uniform(-2.3, 5.5));
    set(GeoField::Mn, mn);
    set(GeoField::Pn, 25.4 / std::pow(10.0, uniform(-2.3, 5.5)));
    set(GeoField::Z, 1 + pick(pick(2) ? 60 : 9999));
    set(GeoField::Alpha, uniform(10, 45));
    set(GeoField::GammaE, uniform(0.4, 1.6));
    set(GeoField::GammaI, uniform(0.3, 1.4));
    for (GeoField f : {GeoField::Xe1, GeoField::Xe2}) set(f, uniform(-0.5, 0.5));
    for (GeoField f : {GeoField::Fhf1, GeoField::Fhf2, GeoField::Fha1, GeoField::Fha2})
      set(f, uniform(0.5, 1.5));
    for (GeoField f : {GeoField::CeMn, GeoField::CiMn, GeoField::CpMn}) set(f, uniform(0, 0.6));
    for (GeoField f : {GeoField::Ce, GeoField::Ci, GeoField::Cp, GeoField::Rf1, GeoField::Rf2})
      set(f, mn * uniform(0, 0.6));
    for (GeoField f : {GeoField::Dmess1, GeoField::Dmess2}) set(f, pick(2) ? 0 : mn * uniform(1, 2));
    const double d = mn * in.Value[Index(GeoField::Z)];
    set(GeoField::Da1, d + mn * uniform(0.5, 1.5));
    set(GeoField::Df1, d - mn * uniform(0.5, 1.5));
    set(GeoField::Da2, d - mn * uniform(0.5, 1.5));
    set(GeoField::Df2, d + mn * uniform(0.5, 1.5));
    set(GeoField::Mdr1, d + 2 * mn);
    set(GeoField::Mdr2, -(d - 2 * mn));
    set(GeoField::Sn1, mn * uniform(1.3, 1.8));
    set(GeoField::En2, mn * uniform(1.3, 1.8));
    StoreInputs(in, Design);
    CalculateGeometry();
    const bool outOfRange = !ValuesOutOfRange(Design).empty();
    if (Flags.FatalError && !outOfRange) continue;  // a design the calculation stops anyway
    SCOPED_TRACE("design " + std::to_string(i) + ", mn " + std::to_string(mn));
    const DesignRecord entered = Design;
    const bool opened = SavedAndOpened("r.qrk", !outOfRange && batch < 20);
    batch += !outOfRange && batch < 20;
    EXPECT_EQ(opened, !outOfRange) << Messages();
    if (outOfRange) {
      ++refused;
      continue;
    }
    ++taken;
    EXPECT_EQ(Design.ToothCount[1], entered.ToothCount[1]);
    fs::remove(Path("r.qrk"));
  }
  EXPECT_GT(taken, 50);
  EXPECT_GT(refused, 30);
}

}  // namespace
}  // namespace qern
