// One range for what the geometry window takes, what Save writes and what Open reads: designs at
// and just past each bound entered through the window's logic, saved, opened again (the reader
// and a batch run), and random designs that the window accepts always open again.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
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

  // Random inputs of the window over the whole range of each field, in every mode, on the design.
  static GeometryInputs RandomInputs(std::mt19937& random) {
    auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(random); };
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
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
    return in;
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
    EXPECT_NE(Messages().find(": Gültiger Wertebereich: 0.01 .. 1000000 mm !"), std::string::npos) << Messages();
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
  EXPECT_NE(Messages().find("Gültiger Wertebereich: -1000000 .. 1000000 mm !"), std::string::npos)
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
  EXPECT_NE(Messages().find("Fatal  : Dm1 = -0.5 mm: Gültiger Wertebereich: 0 .. 1000000 mm !"), std::string::npos)
      << Messages();
  EXPECT_FALSE(SavedAndOpened("pins.qrk", false));

  // A value of the record at the magnitude bound; just past it, also when its line would round
  // it back onto the bound.
  SetDefaultDesign();
  Design.FlankClearanceFactor = 1e6L;
  EXPECT_TRUE(ValuesOutOfRange(Design).empty());
  for (const long double past : {1e6L + 4e-8L, 1e6L + 6e-8L}) {
    Design.FlankClearanceFactor = past;
    ASSERT_EQ(ValuesOutOfRange(Design).size(), 1u);
    EXPECT_EQ(ValuesOutOfRange(Design)[0].Name, "cp/mn");
  }
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
                        Case{9, "1e-9", false}, Case{9, "0.0099999", false}, Case{9, "0", true},
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
  // A file whose values lie in their ranges but whose calculation stores results out of range
  // (module 100000 with 28 teeth) is refused as Save would refuse it, naming the value.
  ScopedScriptedDialogs dialogs;
  std::vector<std::string> changed = lines;
  changed[9] = "100000";
  changed[10] = "28";
  WriteFileLines(Path("huge.qrk"), changed);
  ReadDataFile(Path("huge.qrk"));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(Design.NormalModule, 0.41934L);
  ASSERT_EQ(dialogs->Messages().size(), 1u);
  EXPECT_NE(dialogs->Messages()[0].find("nicht geöffnet: "), std::string::npos) << dialogs->Messages()[0];
  EXPECT_NE(dialogs->Messages()[0].find(": Gültiger Wertebereich: "), std::string::npos);
}

// The status of a batch run (/I) on a file of the folder.
int DesignRange_BatchStatus(const std::string& folder, const std::string& name) {
  const std::string cmd = "cd '" + folder + "' && env -u DISPLAY timeout -s KILL 20 '" QERN_WQERN "' '" +
                          name + "' /I 0<&- >/dev/null 2>&1";
  const int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A module of 0 is a design the calculation stops with its fatal message: it is read, shown as
// fatal, saved and read back, and a batch run ends with status 2; a module below 0.01 or negative
// is still refused.
TEST_F(DesignRange, AModuleOfZeroIsAFatalDesignThatIsReadAndSaved) {
  ScopedScriptedDialogs dialogs;
  ASSERT_TRUE(WriteDesignFile(Path("base.qrk"), CurrentDesignContent()));
  const std::vector<std::string> lines = ReadFileLines(Path("base.qrk"));
  struct Case {
    const char* Module;
    bool Opens, Fatal;
  };
  for (const Case& c : {Case{"0", true, true}, Case{"0.0000000", true, true}, Case{"-0", true, true},
                        Case{"0.005", false, false}, Case{"0.0099999", false, false},
                        Case{"-0.01", false, false}, Case{"0.01", true, false}}) {
    SCOPED_TRACE(c.Module);
    std::vector<std::string> changed = lines;
    changed[9] = c.Module;
    WriteFileLines(Path("m.qrk"), changed);
    SetDefaultDesign();
    ReadDataFile(Path("m.qrk"));
    ASSERT_EQ(!Flags.AbortFlag, c.Opens) << Messages();
    if (!c.Opens) continue;
    EXPECT_EQ(Flags.FatalError, c.Fatal);
    EXPECT_EQ(Messages().find("Fatal  : mn = 0 !") != std::string::npos, c.Fatal) << Messages();
    Flags.AskOverwrite = false;
    SaveDataFile(Path("saved.qrk"));
    ASSERT_FALSE(Flags.AbortFlag);
    SetDefaultDesign();
    ReadDataFile(Path("saved.qrk"));
    ASSERT_FALSE(Flags.AbortFlag);
    EXPECT_EQ(Flags.FatalError, c.Fatal);
    EXPECT_EQ(Design.NormalModule == 0, c.Fatal);
    EXPECT_EQ(DesignRange_BatchStatus(tmp_.Path(), "saved.qrk"), c.Fatal ? 2 : 0);
  }
  // The window's calculation gives the same message, and the design is saved.
  SetDefaultDesign();
  EXPECT_FALSE(Enter(GeoField::Mn, "0"));
  EXPECT_EQ(Messages(), "Fatal  : mn = 0 !\n");
  EXPECT_TRUE(SavedAndOpened("window.qrk", false));
}

// Designs at and just past each bound, as files: what Open takes is saved and opens again; what
// it refuses it names. The largest module of 31 teeth is where the standard pin diameter, a value
// the calculation stores, reaches its bound.
TEST_F(DesignRange, DesignsAtAndJustPastEachBoundOpenSaveAndOpenAgain) {
  ScopedScriptedDialogs dialogs;
  ASSERT_TRUE(WriteDesignFile(Path("base.qrk"), CurrentDesignContent()));
  const std::vector<std::string> lines = ReadFileLines(Path("base.qrk"));
  // The same design with one placed drawing text, and the line of that text.
  DesignFileContent withText = CurrentDesignContent();
  withText.Info.PlacedTextCount = 1;
  withText.Info.PlacedTexts[0] = {5, 5, 3.5L, 0, "Rand"};
  ASSERT_TRUE(WriteDesignFile(Path("text.qrk"), withText));
  const std::vector<std::string> textLines = ReadFileLines(Path("text.qrk"));
  const std::size_t placed =
      std::find_if(textLines.begin(), textLines.end(),
                   [](const std::string& l) { return l.find("|Rand|") != std::string::npos; }) -
      textLines.begin();
  ASSERT_LT(placed, textLines.size());
  // Opens the lines as a file; on success saves the design and opens that again.
  auto opens = [&](std::vector<std::string> changed) {
    WriteFileLines(Path("b.qrk"), changed);
    SetDefaultDesign();
    dialogs->Clear();
    ReadDataFile(Path("b.qrk"));
    if (Flags.AbortFlag) return false;
    Flags.AskOverwrite = false;
    SaveDataFile(Path("again.qrk"));
    EXPECT_FALSE(Flags.AbortFlag) << (dialogs->Messages().empty() ? "" : dialogs->Messages()[0]);
    const DesignRecord saved = Design;
    SetDefaultDesign();
    ReadDataFile(Path("again.qrk"));
    EXPECT_FALSE(Flags.AbortFlag) << (dialogs->Messages().empty() ? "" : dialogs->Messages()[0]);
    EXPECT_EQ(Design.NormalModule, saved.NormalModule);
    return true;
  };
  auto with = [&](std::vector<std::pair<std::size_t, std::string>> edits) {
    std::vector<std::string> changed = edits.front().first == placed ? textLines : lines;
    for (const auto& [line, text] : edits) changed[line] = text;
    return changed;
  };
  // The largest module of 31 teeth that opens, to the file's seven decimals.
  long double lo = 1, hi = 1e6;
  for (int i = 0; i < 50; ++i) {
    const long double mid = (lo + hi) / 2;
    (opens(with({{9, ExtendedLineText(mid)}})) ? lo : hi) = mid;
  }
  const std::string atBound = ExtendedLineText(lo), pastBound = ExtendedLineText(lo + 1e-7L);
  EXPECT_GT(lo, 20000);
  EXPECT_LT(lo, 40000);
  struct Case {
    std::vector<std::pair<std::size_t, std::string>> Edits;
    bool Opens;
    const char* Named;  // the value the refusal names; "" for a damaged file
  };
  const Case cases[] = {
      {{{9, atBound}}, true, ""},
      {{{9, pastBound}}, false, "MdR1 = "},
      {{{9, "1000000"}}, false, "Dm1 = 1870110: "},
      {{{9, "0.01"}}, true, ""},
      {{{9, "0.0099999"}}, false, ""},
      {{{11, "2"}, {45, "2540"}}, true, ""},
      {{{11, "2"}, {45, "2540.0000001"}}, false, ""},
      {{{11, "2"}, {45, "0.0000254"}}, false, "Dm1 = "},
      {{{10, "9999"}}, true, ""},
      {{{10, "10000"}}, false, ""},
      {{{22, "1000000.0000001"}}, false, ""},
      {{{22, "1000000"}}, false, "MdR1 = "},
      {{{placed, "1000000|-1000000|3.5|0|Rand||"}}, true, ""},
      {{{placed, "1000000.0000001|10|3.5|0|weit||"}}, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Edits.front().second + (c.Edits.size() > 1 ? " " + c.Edits.back().second : ""));
    EXPECT_EQ(opens(with(c.Edits)), c.Opens);
    if (c.Opens) continue;
    ASSERT_EQ(dialogs->Messages().size(), 1u);
    const std::string message = dialogs->Messages()[0];
    if (*c.Named == 0) {
      EXPECT_NE(message.find("fehlerhaft"), std::string::npos) << message;
    } else {
      EXPECT_NE(message.find(std::string("nicht geöffnet: ") + c.Named), std::string::npos) << message;
    }
  }
}

// Random designs as files: each one Open takes is saved and opens again with the same inputs;
// for each one it refuses, Save refuses the design calculated from it too.
TEST_F(DesignRange, EveryDesignThatOpensIsSavedAndOpensAgain) {
  ScopedScriptedDialogs dialogs;
  std::mt19937 random(50);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  int opened = 0, refused = 0;
  for (int i = 0; i < 300; ++i) {
    SetDefaultDesign();
    DesignFileContent c = CurrentDesignContent();
    DesignRecord& r = c.Record;
    GeometryInputs in = RandomInputs(random);
    in.Choices.ShiftInput = {0, pick(4) - 1, pick(4) - 1};  // x = 0 too
    StoreInputs(in, r);
    if (pick(20) == 0) r.NormalModule = 0;
    if (!ValuesOutOfRange(c).empty()) continue;  // no file Save writes
    SCOPED_TRACE("design " + std::to_string(i));
    {
      // The overview's shorter calculation stores what Open's stores, to the last bit.
      DesignFileContent full = c, stored = c;
      ErrorListRecord messages;
      bool fatal = false;
      CalculateSerration(full.Record, messages, fatal);
      CalculateStoredValues(stored.Record, messages, fatal);
      ASSERT_TRUE(WriteDesignFile(Path("full.qrk"), full));
      ASSERT_TRUE(WriteDesignFile(Path("stored.qrk"), stored));
      EXPECT_EQ(ReadFileLines(Path("full.qrk")), ReadFileLines(Path("stored.qrk")));
      EXPECT_EQ(ValuesOutOfRange(full.Record).size(), ValuesOutOfRange(stored.Record).size());
      EXPECT_EQ(full.Record.PitchDiameter[1], stored.Record.PitchDiameter[1]);
      EXPECT_EQ(full.Record.PressureAngleDeg, stored.Record.PressureAngleDeg);
      EXPECT_EQ(full.Record.ProfileShift, stored.Record.ProfileShift);
    }
    ASSERT_TRUE(WriteDesignFile(Path("r.qrk"), c));
    ReadDataFile(Path("r.qrk"));
    if (Flags.AbortFlag) {
      ++refused;
      // The design as Open calculated it is one Save refuses.
      ErrorListRecord messages;
      bool fatal = false;
      CalculateSerration(r, messages, fatal);
      Design = r;
      Flags.AskOverwrite = false;
      SaveDataFile(Path("refused.qrk"));
      EXPECT_TRUE(Flags.AbortFlag);
      continue;
    }
    ++opened;
    const DesignRecord first = Design;
    Flags.AskOverwrite = false;
    SaveDataFile(Path("s.qrk"));
    ASSERT_FALSE(Flags.AbortFlag) << (dialogs->Messages().empty() ? "" : dialogs->Messages().back());
    SetDefaultDesign();
    ReadDataFile(Path("s.qrk"));
    ASSERT_FALSE(Flags.AbortFlag) << (dialogs->Messages().empty() ? "" : dialogs->Messages().back());
    EXPECT_EQ(Design.ToothCount[1], first.ToothCount[1]);
    EXPECT_EQ(Design.NormalModule, first.NormalModule);
  }
  EXPECT_GT(opened, 100);
  EXPECT_GT(refused, 8);
}

// Random designs: each one the window takes is saved and opened again; each one it refuses is
// not saved.
TEST_F(DesignRange, EveryDesignTheWindowTakesOpensAgain) {
  ScopedScriptedDialogs dialogs;
  std::mt19937 random(20261208);
  int taken = 0, refused = 0, batch = 0;
  for (int i = 0; i < 300; ++i) {
    SetDefaultDesign();
    const GeometryInputs in = RandomInputs(random);
    const double mn = static_cast<double>(in.Value[Index(GeoField::Mn)]);
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
