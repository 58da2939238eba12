// Design-data file: round trips of the default design and the shipped examples, files in the
// classic code page and line ends, failed reads and saves that must leave everything as it was.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "app/qernstart.h"
#include "design/aendvar.h"
#include "design/qerncalc.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "framework/dokuconf.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "platform/codepage.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

namespace fs = std::filesystem;
using test::ReadFileLines;
using test::ReadWholeFile;
using test::WriteFileLines;
using test::WriteWholeFile;

// Every field the file carries, compared within the written decimals (tol) or exactly (tol 0).
void ExpectSameContent(const DesignFileContent& a, const DesignFileContent& b, long double tol) {
  const DesignRecord &r = a.Record, &s = b.Record;
  auto near = [&](long double x, long double y, const char* what) {
    EXPECT_LE(std::fabs(x - y), tol) << what << ": " << static_cast<double>(x) << " / "
                                     << static_cast<double>(y);
  };
#define QERN_NEAR(f) near(r.f, s.f, #f)
#define QERN_SAME(f) EXPECT_EQ(r.f, s.f) << #f
  QERN_NEAR(PressureAngleDeg); QERN_NEAR(NormalModule); QERN_NEAR(DiametralPitch);
  QERN_SAME(ToothCount[1]); QERN_SAME(PitchInputMode); QERN_SAME(AngleCode); QERN_SAME(FitMode);
  QERN_SAME(MajorDiameterInput); QERN_SAME(MinorDiameterInput); QERN_SAME(ClearancesAsFactors);
  for (int k = 1; k <= 2; ++k) {
    QERN_NEAR(ToolAddendumFactor[k]); QERN_NEAR(ToolDedendumFactor[k]);
    QERN_NEAR(ToolTipRadiusFactor[k]); QERN_SAME(XInputMode[k]); QERN_NEAR(ProfileShift[k]);
    QERN_NEAR(PinDiameter[k]); QERN_NEAR(PinDimension[k]);
    QERN_NEAR(TipDiameterInput[k]); QERN_NEAR(RootDiameterInput[k]);
  }
  QERN_NEAR(ToothThicknessInput[1]); QERN_NEAR(SpaceWidthInput[2]);
  QERN_NEAR(MajorClearance); QERN_NEAR(MinorClearance); QERN_NEAR(FlankClearance);
  QERN_NEAR(MajorClearanceFactor); QERN_NEAR(MinorClearanceFactor); QERN_NEAR(FlankClearanceFactor);
  QERN_NEAR(FlankAngleExternal); QERN_NEAR(FlankAngleInternal);
#undef QERN_NEAR
#undef QERN_SAME
  EXPECT_EQ(a.Name, b.Name);
  EXPECT_EQ(a.Number, b.Number);
  EXPECT_EQ(a.Name2, b.Name2);
  EXPECT_EQ(a.CommentLines, b.CommentLines);
  EXPECT_EQ(a.Info, b.Info);
  EXPECT_EQ(a.Links, b.Links);
}

class DesignFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    SetProgramIdentity();
    NewDesign();
    Session.CurrentFileFolder = dir_ + "/";
  }
  std::string Path(const std::string& name) const { return tmp_.File(name); }
  static void NewDesign() {
    SetDefaultDesign();
    InitDrawingInfo();
    InitDocumentLinks();
  }

  // A design with every kind of text the file has to carry.
  void FillTexts() {
    PartDrawingName = {"", "Welle Größe 3", "Nabe"};
    PartDrawingNumber = {"", "ZW-0815/1", "ZN-0815/2"};
    PartDrawingName2 = {"", "gehärtet, geschliffen", "Maß über Stifte prüfen"};
    Session.CommentLines = {"Entwurf für Kunde Müller", "Übersetzung ändern", "°C ± 5 µm"};
    DrawingInfoRecord& d = DrawingInfo;
    d.ChangeCount = 2;
    d.ChangeEntries[0] = {"Erstausgabe", "2024-01-15", "Jäger", "Zeichnung neu erstellt"};
    d.ChangeEntries[1] = {"Toleranz geändert", "2024-03-02", "Öz", "Maß MdR geändert\nPrüfmaß neu"};
    d.TitleDrawnName = "Schön", d.TitleCheckedDate = "2024-01-16", d.TitleCheckedName = "Weiß";
    d.TitleReleaseName = "Größer", d.TitleReplaces = "ZW-0700", d.TitleReplacedBy = "ZW-0900";
    d.TitleResponsibleDept = "Konstruktion Süd", d.TitleDocumentType = "Fertigungszeichnung";
    d.TitleDocumentStatus = "freigegeben";
    d.PlacedTextCount = 2;
    d.PlacedTexts[0] = {120.5L, 35.25L, 3.5L, 0, "Oberfläche gehärtet"};
    d.PlacedTexts[1] = {10, 280, 2.5L, 90, "Härte 58 HRC"};
    d.PlacedTextMode = 2;
    DocumentLinks[0] = {"/usr/bin/xdg-open", "/home/anna/Prüfbericht 17.pdf"};
    DocumentLinks[3] = {"", "Lastenheft Übersicht.odt"};
  }

  test::TempFolder tmp_;
  const std::string dir_ = tmp_.Path();
};

TEST_F(DesignFileTest, DefaultDesignRoundTripsWithinTheWrittenDecimals) {
  const DesignFileContent before = CurrentDesignContent();
  ASSERT_TRUE(WriteDesignFile(Path("a.qrk"), before));
  DesignFileContent first;
  ASSERT_TRUE(ReadDesignFile(Path("a.qrk"), first));
  ExpectSameContent(before, first, 5.1e-8L);
  EXPECT_EQ(first.Record.ToothCount[2], -first.Record.ToothCount[1]);

  // A second generation is identical to the bit and to the byte.
  ASSERT_TRUE(WriteDesignFile(Path("b.qrk"), first));
  DesignFileContent second;
  ASSERT_TRUE(ReadDesignFile(Path("b.qrk"), second));
  ExpectSameContent(first, second, 0);
  EXPECT_EQ(ReadWholeFile(Path("a.qrk")), ReadWholeFile(Path("b.qrk")));
}

TEST_F(DesignFileTest, LineOrderOfTheFile) {
  FillTexts();
  Design.ClearancesAsFactors = true;
  Design.PinDimension[2] = -12.25L;
  ASSERT_TRUE(WriteDesignFile(Path("order.qrk"), CurrentDesignContent()));
  const std::string bytes = ReadWholeFile(Path("order.qrk"));
  // Every text of this design has a CP850 form: the file is CP850 throughout.
  std::vector<std::string> lines = ReadFileLines(Path("order.qrk"));
  for (std::string& line : lines) {
    ASSERT_EQ(Cp850ToUtf8(line), DecodeTextLine(line, LegacyCodePage::Oem850)) << line;
    line = Cp850ToUtf8(line);
  }
  ASSERT_GT(lines.size(), 80u);
  EXPECT_EQ(lines[0], std::string(65, '-'));
  EXPECT_EQ(lines[1], "QERN   Kerbverzahnung   V 1.0");
  EXPECT_EQ(lines[4], std::string(65, '-'));
  EXPECT_EQ(lines[5], "Entwurf für Kunde Müller");
  EXPECT_EQ(lines[8], "30.0000000");   // alpha
  EXPECT_EQ(lines[10], "31");          // z1
  EXPECT_EQ(lines[14], "Welle Größe 3");
  EXPECT_EQ(lines[15], "ZW-0815/1");
  EXPECT_EQ(lines[20], "1");           // XInputMode of part 1
  EXPECT_EQ(lines[23 + 12], "-12.2500000");  // hub's pin dimension, negative as stored
  EXPECT_EQ(lines[8 + 32], "TRUE");    // clearances as factors
  EXPECT_EQ(lines[8 + 38], "ÄNDERUNGEN");
  EXPECT_EQ(lines[8 + 39], "2");
  EXPECT_EQ(lines[8 + 40], std::string(20, '-'));
  // Entry 2's description is joined by "|".
  EXPECT_EQ(lines[8 + 49], "Maß MdR geändert|Prüfmaß neu");
  EXPECT_EQ(lines[8 + 51], "2024-01-16|Weiß|" + DrawingInfo.TitleStandardDate + "|||Größer|2||");
  EXPECT_EQ(lines[8 + 56], "120.5|35.25|3.5|0|Oberfläche gehärtet||");
  EXPECT_EQ(lines[8 + 58], "Dokumente");
  EXPECT_EQ(lines[8 + 59], "5");
  EXPECT_EQ(lines[8 + 61], "/usr/bin/xdg-open");
  EXPECT_EQ(lines[8 + 61 + 15 + 3], "ISO 7200 Header");
  EXPECT_EQ(lines.back(), "0");  // gamma_i of the uncalculated default
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST_F(DesignFileTest, TextsWithUmlautsLinksAndChangeLogRoundTrip) {
  FillTexts();
  // A character without a CP850 form keeps its line in UTF-8; the others stay CP850.
  DrawingInfo.ChangeEntries[0].Editor = "Łukasz Jäger";
  PartDrawingName2[2] = "Maß ≤ 3 €";
  Design.ProfileShift[1] = 0.1234567L;
  Design.ProfileShift[2] = -0.1234567L;
  DesignFileContent before = CurrentDesignContent();
  SaveDataFile(Path("texts.qrk"));
  ASSERT_FALSE(Flags.AbortFlag);

  NewDesign();
  ReadDataFile(Path("texts.qrk"));
  ASSERT_FALSE(Flags.AbortFlag);
  // The read calculates once, which completes the inputs the way a calculation of the saved
  // design does.
  ErrorListRecord messages;
  bool fatal = false;
  CalculateSerration(before.Record, messages, fatal);
  ExpectSameContent(before, CurrentDesignContent(), 1e-5L);  // texts, change log and links exactly
  EXPECT_NE(Design.PitchDiameter[1], 0);
  const std::vector<std::string> lines = ReadFileLines(Path("texts.qrk"));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Łukasz Jäger"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Maß ≤ 3 €"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Welle Gr\x94\xE1" "e 3"), 1);
}

TEST_F(DesignFileTest, SeparatorsLineBreaksAndPlacedNumbersNeverShiftTheFile) {
  FillTexts();
  DrawingInfo.TitleCheckedName = "A|B";
  DrawingInfo.TitleReleaseName = "zwei\nZeilen";
  DrawingInfo.ChangeEntries[0].Description = "mit | Strich";
  DrawingInfo.ChangeEntries[0].Editor = "Zeile\r\nzwei";
  PartDrawingName[1] = "Name\nmit Umbruch";
  DrawingInfo.PlacedTextCount = 3;
  DrawingInfo.PlacedTexts[0] = {123.456L, 0.00123456L, 2.5L, -45.125L, "x|y"};
  DrawingInfo.PlacedTexts[2] = {1234.56L, -17.5L, 0.35L, 0, "c"};
  ASSERT_TRUE(WriteDesignFile(Path("sep.qrk"), CurrentDesignContent()));
  DesignFileContent back;
  ASSERT_TRUE(ReadDesignFile(Path("sep.qrk"), back));
  EXPECT_EQ(back.Info.TitleCheckedName, "A/B");
  EXPECT_EQ(back.Info.TitleReleaseName, "zwei Zeilen");
  EXPECT_EQ(back.Info.TitleStandardDate, DrawingInfo.TitleStandardDate);
  EXPECT_EQ(back.Info.ChangeEntries[0].Description, "mit / Strich");
  EXPECT_EQ(back.Info.ChangeEntries[0].Editor, "Zeile zwei");
  EXPECT_EQ(back.Name[1], "Name mit Umbruch");
  EXPECT_EQ(back.Number[1], "ZW-0815/1");
  EXPECT_EQ(back.Info.PlacedTextCount, 3);
  EXPECT_EQ(back.Info.PlacedTexts[0].Text, "x/y");
  // Placed-text numbers keep six significant digits.
  for (int i : {0, 2}) {
    const PlacedText &a = DrawingInfo.PlacedTexts[i], &b = back.Info.PlacedTexts[i];
    for (auto [x, y] : {std::pair{a.X, b.X}, {a.Y, b.Y}, {a.Height, b.Height}, {a.Angle, b.Angle}})
      EXPECT_NEAR(static_cast<double>(y), static_cast<double>(x), std::fabs(static_cast<double>(x)) * 1e-6);
  }
  EXPECT_NEAR(static_cast<double>(back.Record.FlankAngleExternal), 1.0471976, 1e-12);
}

TEST_F(DesignFileTest, ClassicCodePageAndLineEndsRead) {
  // CP850 texts, CR LF, decimal commas: the conventions of the files the users bring along.
  ReadDataFile(std::string(QERN_TEST_DATA) + "/design_cp850.qrk");
  ASSERT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(Session.CommentLines[0], "Kupplung für Förderband");
  EXPECT_EQ(PartDrawingName[1], "Welle mit Außenverzahnung");
  EXPECT_EQ(PartDrawingName2[2], "Maße geprüft");
  EXPECT_EQ(DrawingInfo.ChangeCount, 1);
  EXPECT_EQ(DrawingInfo.ChangeEntries[0].Editor, "Jürgen");
  EXPECT_EQ(DrawingInfo.ChangeEntries[0].Description, "Zähnezahl geändert\nPrüfmaß neu");
  EXPECT_EQ(DrawingInfo.TitleDrawnName, "Gößling");
  EXPECT_EQ(DrawingInfo.PlacedTextCount, 1);
  EXPECT_EQ(DrawingInfo.PlacedTexts[0].X, 12.5L);
  EXPECT_EQ(DrawingInfo.PlacedTexts[0].Text, "Oberfläche nitriert");
  EXPECT_EQ(DocumentLinks[1].File, "Prüfplan.txt");
  EXPECT_EQ(DrawingInfo.TitleDocumentStatus, "in Prüfung");
  EXPECT_EQ(Design.ToothCount[1], 24);
  EXPECT_NEAR(static_cast<double>(Design.NormalModule), 1.25, 1e-12);
  EXPECT_NEAR(static_cast<double>(Design.ProfileShift[1]), 0.15, 1e-12);
  // x of the hub follows from the pin dimension: the calculation after the read matches it.
  EXPECT_NEAR(static_cast<double>(Design.PinDimension[2]), -27.5, 1e-4);
}

// Whole numbers take only the values the geometry window can give them, reals are finite and
// below a million; others mark a damaged file.
TEST_F(DesignFileTest, NumbersOutOfRangeAreRefused) {
  ASSERT_TRUE(WriteDesignFile(Path("good.qrk"), CurrentDesignContent()));
  const std::vector<std::string> lines = ReadFileLines(Path("good.qrk"));
  ASSERT_EQ(lines[10], "31");
  struct Case { std::size_t line; const char* value; bool ok; };
  const Case cases[] = {{10, "-2147483648", false}, {10, "10000", false}, {10, "9999", true},
                        {10, "0", true}, {11, "3", false}, {12, "2", true}, {13, "3", false},
                        {20, "4", false}, {8 + 36, "-1", false}, {8 + 36, "2", true},
                        {9, "1e308", false}, {9, "1000000.5", false}, {9, "999999.9", true},
                        {8, "-1e7", false}, {8 + 37, "1e300", false}};
  for (const Case& c : cases) {
    std::vector<std::string> changed = lines;
    changed[c.line] = c.value;
    WriteFileLines(Path("changed.qrk"), changed);
    DesignFileContent content;
    EXPECT_EQ(ReadDesignFile(Path("changed.qrk"), content), c.ok) << c.line << ": " << c.value;
  }
  // The numbers of a placed text too.
  DesignFileContent far = CurrentDesignContent();
  far.Info.PlacedTextCount = 1;
  far.Info.PlacedTexts[0] = {2e6L, 10, 3.5L, 0, "weit"};
  ASSERT_TRUE(WriteDesignFile(Path("far.qrk"), far));
  DesignFileContent content;
  EXPECT_FALSE(ReadDesignFile(Path("far.qrk"), content));
}

// Every number of the file, on a line of its own or in a field, that reads as no number makes
// the file damaged: the current design stays and the message says so.
TEST_F(DesignFileTest, NumbersThatAreNoNumbersMakeTheFileDamaged) {
  ScopedScriptedDialogs dialogs;
  FillTexts();
  ASSERT_TRUE(WriteDesignFile(Path("full.qrk"), CurrentDesignContent()));
  const std::vector<std::string> lines = ReadFileLines(Path("full.qrk"));
  NewDesign();
  const DesignFileContent current = CurrentDesignContent();
  int numberLines = 0;
  for (std::size_t i = DesignFileHeadLines; i < lines.size(); ++i) {
    long double x = 0;
    if (!TextToReal(lines[i], x)) continue;
    ++numberLines;
    for (const char* bad : {"nan", "inf", "Infinity", "nan(123)", "abc", "-nan", ""}) {
      std::vector<std::string> changed = lines;
      changed[i] = bad;
      WriteFileLines(Path("bad.qrk"), changed);
      dialogs->Clear();
      ReadDataFile(Path("bad.qrk"));
      ASSERT_TRUE(Flags.AbortFlag) << "line " << i + 1 << ": " << bad;
      ASSERT_EQ(dialogs->Messages().size(), 1u);
      EXPECT_NE(dialogs->Messages()[0].find("ist unvollständig oder fehlerhaft"), std::string::npos);
      ExpectSameContent(current, CurrentDesignContent(), 0);
    }
  }
  EXPECT_GE(numberLines, 40);  // the design's numbers and the counts and codes of the sections

  // The numbers of a placed text and the count of placed texts, fields of their lines.
  const auto placed = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("120.5|35.25|3.5|0|", 0) == 0;
  });
  ASSERT_NE(placed, lines.end());
  const std::size_t at = placed - lines.begin();
  for (const char* bad : {"nan|35.25|3.5|0|x||", "120.5|inf|3.5|0|x||",
                          "120.5|35.25|abc|0|x||", "120.5|35.25|3.5|nan(1)|x||"}) {
    std::vector<std::string> changed = lines;
    changed[at] = bad;
    WriteFileLines(Path("bad.qrk"), changed);
    DesignFileContent content;
    EXPECT_FALSE(ReadDesignFile(Path("bad.qrk"), content)) << bad;
  }
  std::vector<std::string> changed = lines;
  const std::string title = changed[at - 5];
  ASSERT_EQ(title.substr(title.size() - 4), "|2||");
  changed[at - 5] = title.substr(0, title.size() - 4) + "|zwei||";
  WriteFileLines(Path("bad.qrk"), changed);
  DesignFileContent content;
  EXPECT_FALSE(ReadDesignFile(Path("bad.qrk"), content));
}

TEST_F(DesignFileTest, TruncatedOrCorruptFileLeavesTheCurrentDesignUntouched) {
  ScopedScriptedDialogs dialogs;
  FillTexts();
  ASSERT_TRUE(WriteDesignFile(Path("full.qrk"), CurrentDesignContent()));
  const std::vector<std::string> lines = ReadFileLines(Path("full.qrk"));

  // The current design is a different one.
  NewDesign();
  Design.ProfileShift[1] = 0.3L;
  DrawingInfo.ChangeCount = 1;
  DrawingInfo.ChangeEntries[0].ChangeText = "bleibt";
  const DesignFileContent current = CurrentDesignContent();
  Session.CurrentFileName = "aktuell";

  for (std::size_t keep = 0; keep < lines.size(); ++keep) {
    WriteFileLines(Path("cut.qrk"), {lines.begin(), lines.begin() + keep});
    dialogs->Clear();
    Flags.AbortFlag = false;
    ReadDataFile(Path("cut.qrk"));
    ASSERT_TRUE(Flags.AbortFlag) << "file cut after " << keep << " lines";
    ExpectSameContent(current, CurrentDesignContent(), 0);
    EXPECT_EQ(Session.CurrentFileName, "aktuell");
    ASSERT_EQ(dialogs->Messages().size(), 1u) << keep;
  }

  // A section out of step (a change entry missing) is refused too.
  std::vector<std::string> shifted(lines.begin(), lines.begin() + 48);
  shifted.insert(shifted.end(), lines.begin() + 53, lines.end());
  WriteFileLines(Path("shifted.qrk"), shifted);
  ReadDataFile(Path("shifted.qrk"));
  EXPECT_TRUE(Flags.AbortFlag);
  ExpectSameContent(current, CurrentDesignContent(), 0);

  // A missing file: the message, the flag, nothing changed.
  dialogs->Clear();
  ReadDataFile(Path("missing.qrk"));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(dialogs->Messages().size(), 1u);
  ExpectSameContent(current, CurrentDesignContent(), 0);

  // Batch runs stay silent but still fail.
  dialogs->Clear();
  Flags.ErrorBoxesEnabled = false;
  ReadDataFile(Path("cut.qrk"));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_TRUE(dialogs->Messages().empty());
}

// A design that cannot be opened or read says why, in the words of every failed output; only a
// file that was read and found damaged is called damaged. The current design stays, and the
// open dialog's choice (File -> Open) says the same. Each case runs in a child process, so that
// its descriptor limit and its user stay there.
TEST_F(DesignFileTest, ADesignThatCannotBeOpenedSaysWhy) {
  ScopedScriptedDialogs dialogs;
  ASSERT_TRUE(WriteDesignFile(Path("d.qrk"), CurrentDesignContent()));
  ASSERT_TRUE(WriteDesignFile(Path("gesperrt.qrk"), CurrentDesignContent()));
  ASSERT_EQ(::chmod(Path("gesperrt.qrk").c_str(), 0600), 0);
  ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);  // another user may look in, not read the file
  fs::create_directory(Path("ordner.qrk"));
  ASSERT_EQ(::mkfifo(Path("pipe.qrk").c_str(), 0600), 0);
  WriteWholeFile(Path("kaputt.qrk"), "----\r\n");
  Design.ProfileShift[1] = 0.3L;
  const DesignFileContent current = CurrentDesignContent();
  const auto cannot = [&](const std::string& name, const std::string& reason) {
    return "Datei " + Path(name) + " kann nicht gelesen werden: " + reason +
           "; die aktuellen Daten bleiben unverändert !";
  };
  enum class Setup { None, NoDescriptors, OtherUser, Dialog, ReadFails };
  struct Case {
    std::string Name;
    Setup How;
    std::string Message;
  };
  const std::vector<Case> cases = {
      {"ordner.qrk", Setup::None, cannot("ordner.qrk", Path("ordner.qrk") + " ist ein Ordner")},
      {"fehlt.qrk", Setup::None, cannot("fehlt.qrk", "Datei " + Path("fehlt.qrk") + " existiert nicht")},
      {"pipe.qrk", Setup::None, cannot("pipe.qrk", Path("pipe.qrk") + " ist keine normale Datei")},
      {"d.qrk", Setup::NoDescriptors, cannot("d.qrk", "zu viele offene Dateien")},
      {"gesperrt.qrk", Setup::OtherUser, cannot("gesperrt.qrk", "keine Leseberechtigung für " + Path("gesperrt.qrk"))},
      {"d.qrk", Setup::ReadFails, cannot("d.qrk", "Lesefehler")},
      {"ordner.qrk", Setup::Dialog, cannot("ordner.qrk", Path("ordner.qrk") + " ist ein Ordner")},
      {"kaputt.qrk", Setup::None,
       "Datei " + Path("kaputt.qrk") + " ist unvollständig oder fehlerhaft; die aktuellen Daten bleiben unverändert !"},
  };
  for (const Case& c : cases) {
#ifdef __SANITIZE_ADDRESS__  // the sanitizers' runtime needs descriptors of its own
    if (c.How == Setup::NoDescriptors) continue;
#endif
    SCOPED_TRACE(c.Name + " " + std::to_string(static_cast<int>(c.How)));
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(pipe[0]);
      if (c.How == Setup::NoDescriptors) {
        // No descriptor number left for the design file.
        const int free = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ::close(free);
        const rlimit none{static_cast<rlim_t>(free), static_cast<rlim_t>(free)};
        if (free < 0 || ::setrlimit(RLIMIT_NOFILE, &none) != 0) ::_exit(3);
      } else if (c.How == Setup::OtherUser) {
        // A file its owner keeps to himself: root reads it as another user.
        if (::geteuid() == 0 ? ::setgid(65534) != 0 || ::setuid(65534) != 0
                             : ::chmod(Path(c.Name).c_str(), 0) != 0)
          ::_exit(3);
      }
      if (c.How == Setup::ReadFails) DataFile.FailNextReads(1, EIO);
      dialogs->Clear();
      if (c.How == Setup::Dialog) dialogs->QueueText(Path(c.Name));
      ReadDataFile(c.How == Setup::Dialog ? "" : Path(c.Name));
      const bool kept = CurrentDesignContent().Record.ProfileShift[1] == current.Record.ProfileShift[1];
      std::string said = std::string(Flags.AbortFlag ? "1" : "0") + (kept ? "1" : "0");
      for (const std::string& m : dialogs->Messages()) said += "\n" + m;
      ::_exit(::write(pipe[1], said.data(), said.size()) == static_cast<ssize_t>(said.size()) ? 0 : 4);
    }
    ::close(pipe[1]);
    std::string said;
    char buf[4096];
    for (ssize_t n; (n = ::read(pipe[0], buf, sizeof buf)) > 0;) said.append(buf, n);
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(said, "11\n" + c.Message);
  }
}

// A text longer than a field can use is cut to MaxDesignTextLength characters when it is read, and
// the message names it with its length; texts at the limit pass unchanged and silently.
TEST_F(DesignFileTest, OverlongTextsAreCutWithAMessage) {
  ScopedScriptedDialogs dialogs;
  FillTexts();
  const std::string atLimit(MaxDesignTextLength, 'x');
  PartDrawingNumber[2] = atLimit;
  PartDrawingName[1] = std::string(300000, 'a') + "ü";
  DrawingInfo.ChangeEntries[1].Description = std::string(400, 'b');
  ASSERT_TRUE(WriteDesignFile(Path("long.qrk"), CurrentDesignContent()));
  NewDesign();
  dialogs->Clear();
  ReadDataFile(Path("long.qrk"));
  ASSERT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(PartDrawingName[1], std::string(MaxDesignTextLength, 'a'));
  EXPECT_EQ(PartDrawingNumber[2], atLimit);
  EXPECT_EQ(DrawingInfo.ChangeEntries[1].Description, std::string(MaxDesignTextLength, 'b'));
  EXPECT_EQ(PartDrawingName2[1], "gehärtet, geschliffen");
  ASSERT_EQ(dialogs->Messages().size(), 1u);
  const std::string message = dialogs->Messages()[0];
  EXPECT_NE(message.find("Teil 1 Benennung: 300001"), std::string::npos) << message;
  EXPECT_NE(message.find("Änderung 2 Beschreibung: 400"), std::string::npos) << message;
  EXPECT_EQ(message.find("Zeichnungsnummer"), std::string::npos) << message;

  // Within the limit: no message.
  ASSERT_TRUE(WriteDesignFile(Path("ok.qrk"), CurrentDesignContent()));
  dialogs->Clear();
  ReadDataFile(Path("ok.qrk"));
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_TRUE(dialogs->Messages().empty());
}

TEST_F(DesignFileTest, SurplusEntriesAreSkippedInStep) {
  FillTexts();
  ASSERT_TRUE(WriteDesignFile(Path("base.qrk"), CurrentDesignContent()));
  std::vector<std::string> lines = ReadFileLines(Path("base.qrk"));
  // 27 change entries and 10 placed texts, as a hand-edited file could hold.
  std::vector<std::string> out(lines.begin(), lines.begin() + 46);
  out.insert(out.end(), {"ÄNDERUNGEN", "27", std::string(20, '-')});
  for (int i = 1; i <= 27; ++i)
    out.insert(out.end(), {"Änderung " + std::to_string(i), "2024-01-01", "ab", "d", std::string(14, '-')});
  out.push_back("a|b|c|d|e|f|10||");
  out.insert(out.end(), {"2024-02-02", "", "", "Zeichner"});
  for (int i = 1; i <= 10; ++i) out.push_back(std::to_string(i) + "|2|3|0|T" + std::to_string(i) + "||");
  // The rest of the file from "Dokumente" on.
  std::size_t docs = 0;
  while (lines[docs] != "Dokumente") ++docs;
  out.insert(out.end(), lines.begin() + docs, lines.end());
  WriteFileLines(Path("many.qrk"), out);

  DesignFileContent back;
  ASSERT_TRUE(ReadDesignFile(Path("many.qrk"), back));
  EXPECT_EQ(back.Info.ChangeCount, 25);
  EXPECT_EQ(back.Info.ChangeEntries[24].ChangeText, "Änderung 25");
  EXPECT_EQ(back.Info.PlacedTextCount, 8);
  EXPECT_EQ(back.Info.PlacedTexts[7].Text, "T8");
  EXPECT_EQ(back.Info.TitleDrawnName, "Zeichner");
  EXPECT_EQ(back.Links, CurrentDesignContent().Links);
  EXPECT_EQ(back.Info.TitleDocumentType, "Fertigungszeichnung");

  // A surplus entry out of step (its separator missing) damages the file as a kept one does.
  for (const char* entry : {"Änderung 27", "Änderung 3"}) {
    std::vector<std::string> broken = out;
    const auto at = std::find(broken.begin(), broken.end(), entry);
    ASSERT_NE(at, broken.end());
    *(at + 4) = "kein Strich";
    WriteFileLines(Path("broken.qrk"), broken);
    EXPECT_FALSE(ReadDesignFile(Path("broken.qrk"), back)) << entry;
  }
}

TEST_F(DesignFileTest, NameRules) {
  Session.CurrentFileFolder = "/daten/qern/";
  EXPECT_EQ(DesignFileName("null"), "/daten/qern/null.qrk");
  EXPECT_EQ(DesignFileName("/tmp/x.y/welle.qrk"), "/tmp/x.y/welle.qrk");
  EXPECT_EQ(DesignFileName("/home/u/.zorquan/null"), "/home/u/.zorquan/null.qrk");
  EXPECT_EQ(DesignFileName("archiv.alt"), "archiv.alt");

  // A bare name reads from and saves to the current folder.
  Session.CurrentFileFolder = dir_;
  Design.ProfileShift[1] = 0.25L;
  SaveDataFile("null");
  ASSERT_FALSE(Flags.AbortFlag);
  EXPECT_TRUE(fs::exists(Path("null.qrk")));
  // In archive mode a design named on the command line may only be saved as "aktuell".
  ScopedScriptedDialogs dialogs;
  Flags.ArchiveMode = Flags.StartedWithFile = true;
  SaveDataFile("aktuell");
  ASSERT_FALSE(Flags.AbortFlag);
  EXPECT_TRUE(fs::exists(Path("aktuell.qrk")));
  SaveDataFile("anders");
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_FALSE(fs::exists(Path("anders.qrk")));
  Flags.ArchiveMode = false;

  Design.ProfileShift[1] = 0;
  ReadDataFile("null");
  ASSERT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(Design.XInputMode[1], 1);
  EXPECT_NEAR(static_cast<double>(Design.ProfileShift[1]), 0.25, 1e-12);
}

TEST_F(DesignFileTest, OpenDialogSetsTheCurrentFileOnlyAfterASuccessfulRead) {
  ScopedScriptedDialogs dialogs;
  ASSERT_TRUE(WriteDesignFile(Path("welle.qrk"), CurrentDesignContent()));
  WriteWholeFile(Path("kaputt.qrk"), "----\r\n");
  Session.CurrentFileName = "vorher";
  Session.CurrentFileFolder = "/anderswo/";

  dialogs->QueueText(Path("kaputt.qrk"));
  ReadDataFile("");
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(Session.CurrentFileName, "vorher");
  EXPECT_EQ(Session.CurrentFileFolder, "/anderswo/");

  dialogs->Clear();
  dialogs->QueueText(Path("welle.qrk"));
  ReadDataFile("");
  ASSERT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(Session.CurrentFileName, "welle");
  EXPECT_EQ(Session.CurrentFileFolder, dir_ + "/");

  dialogs->Clear();
  dialogs->QueueCancel();
  ReadDataFile("");
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(Session.CurrentFileName, "welle");
}

TEST_F(DesignFileTest, FailedSaveKeepsThePreviousFileAndIsReported) {
  ScopedScriptedDialogs dialogs;
  Design.ProfileShift[1] = 0.5L;
  SaveDataFile(Path("keep.qrk"));
  ASSERT_FALSE(Flags.AbortFlag);
  const std::string previous = ReadWholeFile(Path("keep.qrk"));

  // The disk fills up in the middle of the file.
  Flags.AskOverwrite = false;
  Design.ProfileShift[1] = 0.75L;
  DataFile.FailNextWrites(1000);
  Flags.AbortFlag = false;
  SaveDataFile(Path("keep.qrk"));
  DataFile.FailNextWrites(0);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(Path("keep.qrk")), previous);
  ASSERT_FALSE(dialogs->Messages().empty());
  for (const auto& entry : fs::directory_iterator(dir_))
    EXPECT_EQ(entry.path().filename(), "keep.qrk") << "left behind";

  // A folder that does not exist.
  dialogs->Clear();
  Flags.AbortFlag = false;
  SaveDataFile(Path("fehlt/neu.qrk"));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_FALSE(fs::exists(Path("fehlt/neu.qrk")));

  // A cancelled save dialog writes nothing.
  dialogs->Clear();
  dialogs->QueueCancel();
  Flags.AbortFlag = false;
  SaveDataFile("");
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(Path("keep.qrk")), previous);

  // No descriptor left: the working file cannot be made. That is said as such, not as a full
  // disk.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::vector<int> taken;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;) taken.push_back(fd);
    if (taken.empty()) ::_exit(3);
    dialogs->Clear();
    Flags.AbortFlag = false;
    Flags.ErrorBoxesEnabled = true;
    SaveDataFile(Path("keep.qrk"));
    const std::vector<std::string> said = dialogs->Messages();
    // The name's check before the save meets it first.
    ::_exit(Flags.AbortFlag && said.size() == 1 &&
                    said[0] == "Ungültiger Dateiname \"" + Path("keep.qrk") +
                                   "\": zu viele offene Dateien !"
                ? 0
                : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadWholeFile(Path("keep.qrk")), previous);
  for (const auto& entry : fs::directory_iterator(dir_))
    EXPECT_EQ(entry.path().filename(), "keep.qrk") << "left behind";
}

// The shipped designs are files of the program's own writer: read, written again and compared to
// the byte. QERN_WRITE_DATA=1 rewrites them in the source tree from their own content.
// A link planted under the name the save once wrote through, or at the design's own name: the
// link's target is never written, the design file is a file of its own afterwards.
TEST_F(DesignFileTest, SaveNeverWritesThroughAPlantedLink) {
  test::TempFolder other;
  const std::string victim = other.File("victim");
  WriteWholeFile(victim, "precious");
  QERN_PLANT_FOREIGN_LINK(victim, Path(".x.qrk." + std::to_string(::getpid()) + ".tmp"));
  QERN_PLANT_FOREIGN_LINK(victim, Path("y.qrk"));
  Flags.AskOverwrite = false;
  for (const char* name : {"x.qrk", "y.qrk"}) {
    Flags.AbortFlag = false;
    SaveDataFile(Path(name));
    EXPECT_FALSE(Flags.AbortFlag) << name;
    EXPECT_FALSE(fs::is_symlink(Path(name))) << name;
    DesignFileContent back;
    EXPECT_TRUE(ReadDesignFile(Path(name), back)) << name;
  }
  EXPECT_EQ(ReadWholeFile(victim), "precious");
}

// Save keeps what the user set on the design: its mode, the user's own link (current.qrk ->
// projects/x/real.qrk stays a link, the real file gets the design), and a read-only design is
// refused, for root as well.
TEST_F(DesignFileTest, SaveKeepsTheModeTheLinkAndARefusalOfReadOnly) {
  ScopedScriptedDialogs dialogs;
  Flags.AskOverwrite = false;
  const mode_t mask = ::umask(022);
  for (fs::perms mode : {fs::perms::owner_read | fs::perms::owner_write,
                         fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read}) {
    WriteWholeFile(Path("privat.qrk"), "alt");
    fs::permissions(Path("privat.qrk"), mode);
    Flags.AbortFlag = false;
    SaveDataFile(Path("privat.qrk"));
    EXPECT_FALSE(Flags.AbortFlag);
    EXPECT_EQ(fs::status(Path("privat.qrk")).permissions() & fs::perms::all, mode);
    DesignFileContent back;
    EXPECT_TRUE(ReadDesignFile(Path("privat.qrk"), back));
  }

  fs::create_directories(Path("projects/x"));
  WriteWholeFile(Path("projects/x/real.qrk"), "alt");
  fs::create_symlink("projects/x/real.qrk", Path("current.qrk"));
  Flags.AbortFlag = false;
  SaveDataFile(Path("current.qrk"));
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_TRUE(fs::is_symlink(Path("current.qrk")));
  DesignFileContent back;
  EXPECT_TRUE(ReadDesignFile(Path("projects/x/real.qrk"), back));
  ::umask(mask);

  WriteWholeFile(Path("fest.qrk"), "alt");
  fs::permissions(Path("fest.qrk"), fs::perms::owner_read | fs::perms::group_read);
  Flags.AbortFlag = false;
  dialogs->Clear();
  SaveDataFile(Path("fest.qrk"));
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(Path("fest.qrk")), "alt");
  ASSERT_FALSE(dialogs->Messages().empty());
  EXPECT_EQ(dialogs->Messages().back(), "Ungültiger Dateiname \"" + Path("fest.qrk") +
                                            "\": keine Schreibberechtigung für " + Path("fest.qrk") + " !");
}

// Names the file system allows: 251 letters, or 125 "Ä", with the extension.
TEST_F(DesignFileTest, LongestNamesSaveAndRead) {
  std::string ae;
  for (int i = 0; i < 125; ++i) ae += "Ä";
  Flags.AskOverwrite = false;
  for (const std::string& base : {std::string(251, 'w'), ae}) {
    Flags.AbortFlag = false;
    Session.CurrentFileName = base;
    ScopedScriptedDialogs dialogs;
    SaveDataFile(base);
    EXPECT_FALSE(Flags.AbortFlag) << dialogs->Messages().size();
    DesignFileContent back;
    EXPECT_TRUE(ReadDesignFile(Path(base + ".qrk"), back));
  }
}

TEST_F(DesignFileTest, ShippedDefaultDesignAndExamples) {
  const bool rewrite = std::getenv("QERN_WRITE_DATA") != nullptr;
  const std::string data = QERN_SOURCE_DATA;

  // null.qrk: the defaults of the record, no title dates (a new design gets today's).
  SetDefaultDesign();
  InitDocumentLinks();
  DrawingInfo = DrawingInfoRecord{};
  const DesignFileContent defaults = CurrentDesignContent();

  for (const char* name : {"null.qrk", "examples/profilverschiebung.qrk",
                           "examples/diametral_pitch.qrk", "examples/pruefmass.qrk",
                           "examples/welle_mit_spielen.qrk"}) {
    SCOPED_TRACE(name);
    const std::string file = data + "/" + name;
    DesignFileContent content;
    ASSERT_TRUE(ReadDesignFile(file, content));
    if (rewrite) {
      ASSERT_TRUE(WriteDesignFile(file, content));
    }
    if (std::string(name) == "null.qrk") ExpectSameContent(defaults, content, 5.1e-8L);
    // Read, calculate without a fatal message, write and read again: nothing moves.
    ReadDataFile(file);
    ASSERT_FALSE(Flags.AbortFlag);
    EXPECT_EQ(Errors.ErrorCount, 0) << Errors.ErrorList[0];
    DesignFileContent first;
    ASSERT_TRUE(ReadDesignFile(file, first));
    ASSERT_TRUE(WriteDesignFile(Path("copy.qrk"), first));
    DesignFileContent second;
    ASSERT_TRUE(ReadDesignFile(Path("copy.qrk"), second));
    ExpectSameContent(first, second, 0);
    EXPECT_EQ(ReadWholeFile(file), ReadWholeFile(Path("copy.qrk")));
  }
}

}  // namespace
}  // namespace qern
