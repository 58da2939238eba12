// Tests of the configuration file, the session file and the start-up folder check.
#include "framework/configio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "framework/progvar.h"
#include "framework/textfile.h"
#include "platform/scripteddialogs.h"
#include "tests/support/testutil.h"

using namespace qern;
using namespace qern::test;
namespace fs = std::filesystem;

// A setting read from the file (s) or kept at its start value (start).
#define FROM_FILE(f) EXPECT_EQ(Settings.f, s.f)
#define KEPT(f) EXPECT_EQ(Settings.f, start.f)

namespace {

// The first count lines of a file's lines, written as the file.
void WriteFirstLines(const std::string& name, const std::vector<std::string>& lines, size_t count) {
  WriteFileLines(name, {lines.begin(), lines.begin() + static_cast<long>(std::min(count, lines.size()))});
}

size_t IndexOf(const std::vector<std::string>& lines, const std::string& label) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == label) return i;
  ADD_FAILURE() << "label not found: " << label;
  return 0;
}

// Every setting the file holds, away from its start value and exactly representable in the file.
void SetNonDefaults(ProgramSettings& s) {
  s.CadLayerNames = {"0", "kontur", "mitte", "schraff", "masse", "text"};
  s.CadLayerColors = {1, 7, 6, 5, 4, 3}; s.CadTextStyle = "ISO"; s.CadTextWidthFactor = 0.75L;
  s.CadTextAngle = 15; s.CadFolder = "/tmp/cad/"; s.DbfFolder = "/tmp/dbf/"; s.HelpLevel = 2;
  s.PrinterPort = 2; s.PrinterType = 5; s.PrintDensity = 3; s.HardcopyRotated = 'N'; s.Decimals = 5;
  s.PrintDensityVertical = 4; s.ColorGraphics = false; s.GraphicCorrectionFactor = 1.25L;
  s.GraphicMode = 7; s.GraphicDriver = 9; s.ScreenWidth = 1279; s.ScreenHeight = 899;
  s.TempFolder = "/tmp/temp/"; s.HardcopyPort = 3; s.EdiFolder = "/tmp/edi/";
  s.PltFolder = "/tmp/plt/"; s.SeparatorMode = 3; s.LinesPerPage = 72; s.ZoomFactor = 1.5L;
  s.PanFactor = 0.25L; s.ExeFolder = "/opt/qern/";
  s.GravuraCommandLines[0] = "plot eins"; s.GravuraCommandLines[1] = "plot zwei";
  s.GravuraCommandLines[2] = "plot drei"; s.GravuraCommandCount = 3;
  s.BackgroundColor = 0xFFFFFF; s.PrintColorMode = 2;
  s.LayerMonochrome = true; s.GraphicTextWidthFactor = 0.625L; s.GraphicFontName = "DejaVu Sans";
  s.TextProgram = "kate"; s.DatabaseMode = 2; s.ExternalDatabase = "dbedit";
  s.ScreendumpOriginX = 12; s.ScreendumpOriginY = -7; s.ScreendumpScale = 1.25;
  s.ScreendumpScaleY = 0.75; s.ScreendumpBorder = true; s.DateFormat = 1; s.HeaderSpaceLines = 4;
  s.DefaultTextDevice = 5; s.AskTextDevice = true; s.SmallOnlineWindow = true;
  s.AskDiagramLimits = true; s.DecimalSeparatorMode = 2; s.DefaultDataFolder = "/tmp/data/";
  s.GraphicTextHeightFactor = 1.5L; s.FormScalePercent = 120; s.HtmlBrowser = "firefox";
  s.LayerLineWidths = {2, 3, 4, 5, 6, 7}; s.GraphicPrintDialog = false;
  s.TextWindowRect = {20, 30, 640, 400}; s.UnitSystem = 1; s.HeaderMode = 2;
  s.PrintFontName = "Liberation Mono"; s.PrintFontSize = 9; s.PrintFontStyle = 5;
  s.GraphicFontStyle = 1; s.PrintOrientation = 1; s.Edit3DAngles = false;
  s.Default3DAngles = {-0.25L, 1.5L, 3.125L}; s.IndexStyle = 2; s.ExcelDecimalMode = 1;
  s.ReleaseFieldText = "Frei"; s.CadDecimals = 4; s.CadTextMode = 3;
  for (int i = 0; i < 16; ++i) {
    s.ColorLayerColors[i] = 16 - i;
    s.ColorLayerLineWidths[i] = i % 3 + 1;
    s.ColorPalette[i] = 0x010101 * (i + 1);
  }
  s.SpecialCharMode = 1; s.FontScalePercent = 110; s.AngleFormat = 2; s.DimensionSizeFactor = 1.75L;
  s.ConfigReservedNumber = 42; s.LanguageNumber = 2; s.ResultGraphicKind = 4;
  s.DrawMakerTitle = s.DrawFileName = s.DrawDate = s.DrawLogo = true;
  s.DrawFooter = s.DrawTitleBlock = s.UseCurrentFile = s.SaveMenuLanguage = true;
  s.TitleBlockKind = 1; s.Cad3DTo2D = false; s.DrawProtectionNote = true;
  s.ManualFolder = "/usr/share/doc/qern/"; s.DrawingMargin = 0;
  s.DrawFrameZones = s.DrawMmScale = s.DrawChangeLog = true;
  s.UseHeadBlockFiles = s.UseInsertBlockFiles = true;
}

class ConfigFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ + "/conf");
    fs::create_directories(root_ + "/home");
    const char* home = getenv("HOME");
    savedHome_ = home ? home : "";
    setenv("HOME", (root_ + "/home").c_str(), 1);
    Fresh();
  }
  void TearDown() override { setenv("HOME", savedHome_.c_str(), 1); }
  // Start values, program identity as at start-up, and the test's configuration folder.
  void Fresh() {
    InitProgramState();
    Ident.ProgramName = "qern";
    Settings.ConfigFolder = Folder();
  }
  std::string Folder() const { return root_ + "/conf/"; }
  std::string CfgName() const { return Folder() + "qern.cfg"; }

  // Writes settings s and returns the file's lines.
  std::vector<std::string> WriteSettings(const ProgramSettings& s) {
    Settings = s;
    Flags.AbortFlag = false;
    WriteConfiguration();
    EXPECT_FALSE(Flags.AbortFlag);
    return ReadFileLines(CfgName());
  }
  // Reads the file into start values.
  void ReadFresh() {
    Fresh();
    ReadConfiguration();
  }
  // Runs body in a child process as nobody, for whom the folders can be read but not written;
  // true when body returned true there.
  bool AsNobody(const std::function<bool()>& body) {
    if (::chmod(root_.c_str(), 0755) != 0 || ::chmod(Folder().c_str(), 0755) != 0) return false;
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
      ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  ProgramSettings Written() {
    Fresh();
    ProgramSettings s = Settings;
    SetNonDefaults(s);
    return s;
  }

  TempFolder temp_;
  const std::string root_ = temp_.Path();
  std::string savedHome_;
  ScopedScriptedDialogs dialogs_;
};

TEST_F(ConfigFileTest, WrittenFileReadsBackToIdenticalSettings) {
  const ProgramSettings s = Written();
  Flags.ArchiveMode = true;
  WriteSettings(s);
  ReadFresh();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_TRUE(Flags.ArchiveMode);
  EXPECT_TRUE(Settings == s);
}

TEST_F(ConfigFileTest, LabelLinesStandWhereTheReaderExpectsThem) {
  const auto lines = WriteSettings(Settings);
  ASSERT_GT(lines.size(), 250u);
  // Line at the label's index + offset; "" counts from the top of the file.
  const struct { const char* label; long offset; const char* text; } kLines[] = {
      {"", 0, "Konfiguration qern"}, {"", 1, "Version 1.0"}, {"", 2, "Layer"}, {"", 3, "1"},
      {"", 4, "Farbe"}, {"", 5, "2"}, {"", 22, "Textstil CAD"}, {"", 23, "TXT8"},
      {"", 36, "Druckertyp"}, {"", 40, "Hardcopy um 90° gedreht ?"}, {"", 41, "J"},
      {"", 42, "Dezimalstellen"},
      {"Farbgrafik", 1, "TRUE"},
      {"Auflösung horizontal", -4, "Grafik-Mode"},
      {"Color Layer 31", -2, "Color Layer 30"},
      {"Text window left/top/width/height", 1, "10|40|700|440|"},
      {"GRAVURA Command lines (n, line 2 .. line n)", 1, "1"},
      // 3-D angles in radians with seven decimals, then the three unlabelled entries.
      {"3D - Default x,y,z", 1, "-0.2617994"},
      {"3D - Default x,y,z", 2, "1.5707963"},
      {"3D - Default x,y,z", 4, "0"},  // IndexStyle
      {"3D - Default x,y,z", 5, "2"},  // ExcelDecimalMode
      {"3D - Default x,y,z", 7, "Decimals DXF,TXT"},
  };
  for (const auto& l : kLines) {
    SCOPED_TRACE(std::string(l.label) + " " + std::to_string(l.offset));
    const long at = (*l.label ? static_cast<long>(IndexOf(lines, l.label)) : 0) + l.offset;
    EXPECT_EQ(lines[static_cast<size_t>(at)], l.text);
  }
  // The last entries: palette, Cad3DTo2D stored negated, ..., five drawing booleans.
  EXPECT_EQ(lines[lines.size() - 9], "FALSE");  // Cad3DTo2D on
  EXPECT_EQ(lines.size(), IndexOf(lines, "Strichstärke Layer 16..31") + 1 + 16 + 7 + 8 + 1 + 16 + 9);
}

TEST_F(ConfigFileTest, NumbersDoNotFollowTheDisplaySettings) {
  ProgramSettings s = Settings;
  s.Decimals = 3;
  const auto plain = WriteSettings(s);
  s.Decimals = 6;
  s.DecimalSeparatorMode = 2;
  auto shifted = WriteSettings(s);
  EXPECT_EQ(Settings.Decimals, 6);
  EXPECT_EQ(Settings.DecimalSeparatorMode, 2);
  ASSERT_EQ(plain.size(), shifted.size());
  const size_t dec = IndexOf(plain, "Dezimalstellen") + 1;
  const size_t sep = IndexOf(plain, "Dot=1 Komma=2") + 1;
  EXPECT_EQ(shifted[dec], "6");
  EXPECT_EQ(shifted[sep], "2");
  // Every other line is the same.
  shifted[dec] = plain[dec];
  shifted[sep] = plain[sep];
  EXPECT_EQ(plain, shifted);
}

TEST_F(ConfigFileTest, FallbacksOfReadValues) {
  ProgramSettings s = Settings;
  s.Decimals = 12; s.LinesPerPage = 4; s.DefaultTextDevice = 10; s.LanguageNumber = 3;
  s.SaveMenuLanguage = false; s.ScreendumpScale = 0; s.ScreendumpScaleY = 2.5;
  s.ColorPalette[3] = 0; s.HeaderSpaceLines = 31; s.FormScalePercent = 5; s.CadDecimals = 33;
  s.AngleFormat = 3; s.ManualFolder = ""; s.ExeFolder = "/opt/q/"; s.LayerLineWidths[2] = 256;
  s.PrintFontName = "";
  WriteSettings(s);
  ReadFresh();
  EXPECT_EQ(Settings.Decimals, 3);
  EXPECT_EQ(Settings.LinesPerPage, 66);
  EXPECT_EQ(Settings.DefaultTextDevice, 1);
  EXPECT_EQ(Settings.LanguageNumber, 0);
  EXPECT_EQ(Settings.ScreendumpScale, 1.0);
  EXPECT_EQ(Settings.ScreendumpScaleY, 2.5);  // the later entry overrides the reset
  EXPECT_EQ(Settings.ColorPalette[3], 0xFFFF00);
  EXPECT_EQ(Settings.HeaderSpaceLines, 0);
  EXPECT_EQ(Settings.FormScalePercent, 100);
  EXPECT_EQ(Settings.CadDecimals, 6);
  EXPECT_EQ(Settings.AngleFormat, 2);
  EXPECT_EQ(Settings.ManualFolder, "/opt/q/");
  EXPECT_EQ(Settings.LayerLineWidths[2], 1);
  EXPECT_EQ(Settings.PrintFontName, "Courier New");

  s.Decimals = 0; s.LinesPerPage = 5; s.DefaultTextDevice = 0;
  WriteSettings(s);
  ReadFresh();
  EXPECT_EQ(Settings.Decimals, 3);
  EXPECT_EQ(Settings.LinesPerPage, 5);
  EXPECT_EQ(Settings.DefaultTextDevice, 1);
}

TEST_F(ConfigFileTest, ValueLinesThatAreNotNumbersKeepTheStartValue) {
  const ProgramSettings start = [&] { Fresh(); return Settings; }();
  auto lines = WriteSettings(Written());
  lines[IndexOf(lines, "Zeilen pro Seite für Drucker") + 1] = "viele";
  lines[IndexOf(lines, "Zoomfaktor") + 1] = "1,25";  // a decimal comma reads too
  lines[IndexOf(lines, "Pan-Faktor") + 1] = "";
  lines[IndexOf(lines, "Textwinkel") + 1] = "nan";
  lines[IndexOf(lines, "Dezimalstellen") + 1] = "inf";
  lines[IndexOf(lines, "Hintergrundfarbe") + 1] = "Infinity";
  lines[IndexOf(lines, "Grafik-Mode") + 1] = "nan(123)";
  lines[IndexOf(lines, "Druckertyp") + 1] = "99999999999";  // beyond a whole number's range
  lines[IndexOf(lines, "Text Height Factor") + 1] = "1,5,3";
  lines[IndexOf(lines, "Text window left/top/width/height") + 1] = "1|2|0|5|";
  lines[IndexOf(lines, "Edit 3D x,y,z ?") + 1] = "ja";        // only FALSE turns it off
  lines[IndexOf(lines, "Graphic Printout Dialog Box ?") + 1] = "true";  // TRUE in any case
  WriteFileLines(CfgName(), lines);
  ReadFresh();
  EXPECT_TRUE(Settings.Edit3DAngles);
  EXPECT_TRUE(Settings.GraphicPrintDialog);
  EXPECT_EQ(Settings.ZoomFactor, 1.25L);
  EXPECT_EQ(Settings.LinesPerPage, start.LinesPerPage);
  EXPECT_EQ(Settings.PanFactor, start.PanFactor);
  EXPECT_EQ(Settings.CadTextAngle, start.CadTextAngle);
  EXPECT_EQ(Settings.Decimals, start.Decimals);
  EXPECT_EQ(Settings.BackgroundColor, start.BackgroundColor);
  EXPECT_EQ(Settings.GraphicMode, start.GraphicMode);
  EXPECT_EQ(Settings.PrinterType, start.PrinterType);
  EXPECT_EQ(Settings.GraphicTextHeightFactor, start.GraphicTextHeightFactor);
  EXPECT_EQ(Settings.TextWindowRect, start.TextWindowRect);
  // The entries after them still read from the file.
  EXPECT_EQ(Settings.PrintDensity, 3);
  EXPECT_EQ(Settings.GraphicDriver, 9);
  EXPECT_EQ(Settings.FormScalePercent, 120);
}

// A line width that is no number keeps its start value; a plot-program count that is no number
// keeps the count and reads no lines, and the entries after it stay in step.
TEST_F(ConfigFileTest, CountThatIsNoNumberKeepsTheCountAndTheFileInStep) {
  const ProgramSettings start = [&] { Fresh(); return Settings; }();
  auto lines = WriteSettings(Written());
  const size_t count = IndexOf(lines, "GRAVURA Command lines (n, line 2 .. line n)") + 1;
  lines[count] = "drei";
  lines.erase(lines.begin() + count + 1, lines.begin() + count + 3);  // its two lines
  lines[IndexOf(lines, "Line thickness Layer 0..5") + 1] = "-nan";
  WriteFileLines(CfgName(), lines);
  ReadFresh();
  EXPECT_EQ(Settings.GravuraCommandCount, start.GravuraCommandCount);
  EXPECT_EQ(Settings.DateFormat, 1);
  EXPECT_EQ(Settings.LayerLineWidths[0], start.LayerLineWidths[0]);
  EXPECT_EQ(Settings.LayerLineWidths[1], 3);
}

// A file cut before each test point reads everything before it and keeps the rest.
TEST_F(ConfigFileTest, FileEndingAtEachTestPointKeepsTheRemainingStartValues) {
  const ProgramSettings s = Written();
  const auto lines = WriteSettings(s);
  const ProgramSettings start = [&] { Fresh(); return Settings; }();
  const std::vector<std::pair<std::string, std::function<void()>>> cuts = {
      {"Druckertyp", [&] { FROM_FILE(PrinterPort); KEPT(PrinterType); }},
      {"Druckdichte", [&] { FROM_FILE(PrinterType); KEPT(PrintDensity); }},
      {"Farbgrafik", [&] { FROM_FILE(PrintDensityVertical); KEPT(ColorGraphics); }},
      {"EDI Ordner", [&] { FROM_FILE(HardcopyPort); FROM_FILE(ScreenWidth); KEPT(EdiFolder); }},
      {"GRAVURA-Kommandozeile", [&] { FROM_FILE(ExeFolder); KEPT(GravuraCommandLines[0]); }},
      {"Hintergrundfarbe", [&] { FROM_FILE(GravuraCommandLines[0]); KEPT(BackgroundColor); }},
      {"Windows-Druckmodus (1=mono 2=color)",
       [&] { FROM_FILE(BackgroundColor); KEPT(PrintColorMode); }},
      {"Layer Monochrom",
       [&] { FROM_FILE(PrintColorMode); KEPT(LayerMonochrome); KEPT(GraphicTextWidthFactor); }},
      {"Textbreitenfaktor Grafik", [&] {
         FROM_FILE(LayerMonochrome);
         EXPECT_EQ(Settings.GraphicTextWidthFactor, s.CadTextWidthFactor);
         EXPECT_EQ(Settings.GraphicFontName, "Arial");
       }},
      {"Color Layer 16", [&] { FROM_FILE(GraphicFontName); KEPT(ColorLayerColors); }},
      {"Color Layer 24", [&] { FROM_FILE(ColorLayerColors[7]); KEPT(ColorLayerColors[8]); }},
      {"Textprogramm", [&] { FROM_FILE(ColorLayerColors); KEPT(TextProgram); }},
      {"Windows Screendump Origin X", [&] { FROM_FILE(ExternalDatabase); KEPT(ScreendumpOriginX); }},
      {"GRAVURA Command lines (n, line 2 .. line n)",
       [&] { FROM_FILE(ScreendumpBorder); KEPT(GravuraCommandCount); }},
      {"Print Scale Vertical",
       [&] { FROM_FILE(HtmlBrowser); FROM_FILE(FormScalePercent); KEPT(ScreendumpScaleY); }},
      {"Line thickness Layer 0..5", [&] {
         FROM_FILE(ScreendumpScaleY);
         KEPT(LayerLineWidths); KEPT(Default3DAngles); KEPT(LanguageNumber);
       }},
      {"3D - Default x,y,z",
       [&] { FROM_FILE(Edit3DAngles); KEPT(Default3DAngles); KEPT(IndexStyle); }},
  };
  for (const auto& [label, check] : cuts) {
    SCOPED_TRACE(label);
    WriteFirstLines(CfgName(), lines, IndexOf(lines, label));
    ReadFresh();
    EXPECT_FALSE(Flags.AbortFlag);
    check();
    // Whatever the end, the screen size is set.
    EXPECT_GT(Settings.ScreenWidth, 0);
    EXPECT_GT(Settings.ScreenHeight, 0);
  }
  // An end before the screen size gives the screen's.
  WriteFirstLines(CfgName(), lines, IndexOf(lines, "Druckertyp"));
  Fresh();
  ReadConfiguration(1600, 900);
  EXPECT_EQ(Settings.ScreenWidth, 1591);
  EXPECT_EQ(Settings.ScreenHeight, 809);
}

TEST_F(ConfigFileTest, EntriesWithTheirOwnTestKeepStartValuesAndLaterEntriesGiveFallbacks) {
  const ProgramSettings s = Written();
  const auto lines = WriteSettings(s);
  // Ends after "Archive Flag ?": own-test entries keep their values, 75, 76 and 79 are read as
  // empty lines and take their fallbacks.
  WriteFirstLines(CfgName(), lines, IndexOf(lines, "Archive Flag ?") + 2);
  ReadFresh();
  const ProgramSettings start = ProgramSettings{};
  FROM_FILE(GravuraCommandCount);
  KEPT(DateFormat); KEPT(DefaultTextDevice); KEPT(AskDiagramLimits);
  KEPT(GraphicTextHeightFactor); KEPT(FormScalePercent); KEPT(ScreendumpScaleY);
  EXPECT_EQ(Settings.DecimalSeparatorMode, 1);
  EXPECT_EQ(Settings.DefaultDataFolder, Settings.StartFolder + "/");
  EXPECT_EQ(Settings.HtmlBrowser, "");
}

TEST_F(ConfigFileTest, GravuraCountAboveNineStaysInStep) {
  ProgramSettings s = Written();
  auto lines = WriteSettings(s);
  const size_t at = IndexOf(lines, "GRAVURA Command lines (n, line 2 .. line n)") + 1;
  ASSERT_EQ(lines[at], "3");
  lines[at] = "12";
  std::vector<std::string> extra;
  for (int k = 4; k <= 12; ++k) extra.push_back("zeile " + std::to_string(k));
  lines.insert(lines.begin() + static_cast<long>(at) + 3, extra.begin(), extra.end());
  WriteFileLines(CfgName(), lines);
  ReadFresh();
  EXPECT_EQ(Settings.GravuraCommandCount, 9);
  EXPECT_EQ(Settings.GravuraCommandLines[1], "plot zwei");
  EXPECT_EQ(Settings.GravuraCommandLines[8], "zeile 9");
  EXPECT_FALSE(Flags.ArchiveMode);
  FROM_FILE(DateFormat);
  FROM_FILE(UseInsertBlockFiles);

  // A damaged count reads to the end of the file and no further.
  lines = WriteSettings(s);
  lines[at] = "2147483647";
  WriteFileLines(CfgName(), lines);
  ReadFresh();
  EXPECT_EQ(Settings.GravuraCommandCount, 9);
  EXPECT_FALSE(Flags.AbortFlag);

  // Settings with a count above nine are written with nine, so the file stays in step.
  s.GravuraCommandCount = 12;
  WriteSettings(s);
  ReadFresh();
  EXPECT_EQ(Settings.GravuraCommandCount, 9);
  FROM_FILE(DateFormat);
  FROM_FILE(DefaultDataFolder);
}

TEST_F(ConfigFileTest, SearchOrderConfigFolderThenMakerFolderThenItsSubfolder) {
  const std::string maker = root_ + "/home/.zorquan/";
  EXPECT_EQ(MakerFolder(), maker);
  fs::create_directories(maker + "qern");
  ProgramSettings s = Written();
  // The file is moved to where (empty: left in the configuration folder), found there, and its
  // folder becomes the configuration folder. Each step leaves the earlier files in place.
  const struct { const char* where; int level; std::string folder; } kSteps[] = {
      {"qern/qern.cfg", 0, maker + "qern/"}, {"qern.cfg", 2, maker}, {"", 7, Folder()}};
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.level);
    s.HelpLevel = step.level;
    Settings.ConfigFolder = Folder();
    WriteSettings(s);
    if (*step.where) fs::rename(CfgName(), maker + step.where);
    ReadFresh();
    EXPECT_FALSE(Flags.AbortFlag);
    EXPECT_EQ(Settings.HelpLevel, step.level);
    EXPECT_EQ(Settings.ConfigFolder, step.folder);
  }
}

TEST_F(ConfigFileTest, NoFileGivesScreenDerivedValuesAndSetsAbort) {
  ReadFresh();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(Settings.ScreenWidth, 1015);
  EXPECT_EQ(Settings.ScreenHeight, 677);
  EXPECT_EQ(Settings.TextWindowRect[3], 688);
  EXPECT_EQ(Settings.FormScalePercent, 101);
  EXPECT_EQ(Settings.ConfigFolder, Folder());
  EXPECT_EQ(Settings.HelpLevel, 1);

  Fresh();
  ReadConfiguration(ScreenMetrics{.Width = 1920, .Height = 1080, .LogPixelsY = 144,
                                  .WindowHeight = 846, .ClientHeight = 800});
  EXPECT_EQ(Settings.ScreenWidth, 1911);
  EXPECT_EQ(Settings.ScreenHeight, 989);
  EXPECT_EQ(Settings.FormScalePercent, 151);  // 1.5 x (846 / 846 + 0.009) x 100
}

TEST_F(ConfigFileTest, FailedWriteKeepsTheOldFile) {
  const auto before = WriteSettings(Settings);
  Settings = Written();
  Flags.AbortFlag = false;
  DataFile.FailNextWrites(1000);
  WriteConfiguration();
  DataFile.FailNextWrites(0);
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ReadFileLines(CfgName()), before);
  EXPECT_FALSE(fs::exists(CfgName() + ".tmp"));
  EXPECT_FALSE(dialogs_->Messages().empty());
  // With the flag set on entry nothing is written.
  Flags.AbortFlag = true;
  WriteConfiguration();
  EXPECT_EQ(ReadFileLines(CfgName()), before);
}

// Links planted under the names the configuration and session files were once written through,
// and under the files' own names: the links' target is never written.
TEST_F(ConfigFileTest, PlantedLinksNeverLeadTheFilesElsewhere) {
  TempFolder other;
  const std::string victim = other.File("victim");
  WriteWholeFile(victim, "precious");
  for (const char* n : {"qern.cfg.tmp", "qern.cff.tmp", "qern.cfg", "qern.cff"})
    QERN_PLANT_FOREIGN_LINK(victim, Folder() + n);
  WriteSettings(Written());
  Session.RecentFiles = {"/d/a.qrk", "", "", ""};
  WriteSessionFile();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(victim), "precious");
  EXPECT_FALSE(fs::is_symlink(CfgName()));
  EXPECT_FALSE(fs::is_symlink(Folder() + "qern.cff"));
  EXPECT_EQ(ReadFileLines(Folder() + "qern.cff")[1], "/d/a.qrk");
}

// The configuration keeps the mode the user gave it; a read-only one is kept as it is, with the
// message a save of a read-only design gives.
TEST_F(ConfigFileTest, WritingKeepsTheModeAndRefusesAReadOnlyFile) {
  WriteSettings(Written());
  fs::permissions(CfgName(), fs::perms::owner_read | fs::perms::owner_write);
  Flags.AbortFlag = false;
  WriteSettings(Written());
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(fs::status(CfgName()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  const std::string before = ReadWholeFile(CfgName());
  fs::permissions(CfgName(), fs::perms::owner_read);
  Settings.LinesPerPage = 77;
  Flags.AbortFlag = false;
  WriteConfiguration();
  EXPECT_TRUE(Flags.AbortFlag);
  EXPECT_EQ(ReadWholeFile(CfgName()), before);
  ASSERT_FALSE(dialogs_->Messages().empty());
  // (The settings written spell umlauts out.)
  EXPECT_EQ(dialogs_->Messages().back(),
            "Ungueltiger Dateiname \"" + CfgName() + "\": keine Schreibberechtigung fuer " + CfgName() + " !");
}

// qern.cfg and qern.cff keep the access list the user gave them, and the owning group stays
// without access; a default list of their folder is not given to them.
TEST_F(ConfigFileTest, WritingKeepsTheAccessListAndTakesNoDefaultOfTheFolder) {
  WriteSettings(Written());
  Session.RecentFiles = {"/d/a.qrk", "", "", ""};
  WriteSessionFile();
  const std::string cff = Folder() + "qern.cff";
  for (const std::string& name : {CfgName(), cff}) {
    fs::permissions(name, fs::perms::owner_read | fs::perms::owner_write);
    if (!SetFacl("-m u:daemon:r '" + name + "'")) GTEST_SKIP() << "no setfacl or no ACLs here";
  }
  ASSERT_TRUE(SetFacl("-d -m u:nobody:rw '" + Folder() + "'"));
  const std::string cfgAcl = FaclOf(CfgName()), cffAcl = FaclOf(cff);
  Settings.LinesPerPage = 66;
  Flags.AbortFlag = false;
  WriteConfiguration();
  Session.RecentFiles = {"/d/b.qrk", "", "", ""};
  WriteSessionFile();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(FaclOf(CfgName()), cfgAcl);
  EXPECT_EQ(FaclOf(cff), cffAcl);
  EXPECT_EQ(FaclOf(cff).find("65534"), std::string::npos);
  EXPECT_EQ(ReadFileLines(cff).at(1), "/d/b.qrk");
}

class SessionFileTest : public ConfigFileTest {};

TEST_F(SessionFileTest, RecentFilesRoundTrip) {
  Session.RecentFiles = {"/d/a.qrk", "/d/b.qrk", "", ""};
  Session.CurrentFileFolder = "/d/";
  WriteSessionFile();
  EXPECT_FALSE(Flags.AbortFlag);
  const auto lines = ReadFileLines(Folder() + "qern.cff");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "/d/ Session qern");
  Session.RecentFiles = {"x", "y", "z", "w"};
  ReadSessionFile();
  EXPECT_EQ(Session.RecentFiles, (std::array<std::string, 4>{"/d/a.qrk", "/d/b.qrk", "", ""}));

  Session.RecentFiles = {"ä.qrk", "b", "c", "d"};
  WriteSessionFile();
  Session.RecentFiles = {};
  ReadSessionFile();
  EXPECT_EQ(Session.RecentFiles, (std::array<std::string, 4>{"ä.qrk", "b", "c", "d"}));
}

TEST_F(SessionFileTest, EmptyListWritesNothingAndMissingFileEmptiesTheList) {
  Session.RecentFiles = {"", "b", "", ""};
  WriteSessionFile();
  EXPECT_FALSE(fs::exists(Folder() + "qern.cff"));
  Session.RecentFiles = {"a", "b", "c", "d"};
  ReadSessionFile();
  EXPECT_EQ(Session.RecentFiles, (std::array<std::string, 4>{}));
  // A short file leaves the missing entries empty.
  WriteFileLines(Folder() + "qern.cff", {"t", "eins"});
  Session.RecentFiles = {"a", "b", "c", "d"};
  ReadSessionFile();
  EXPECT_EQ(Session.RecentFiles, (std::array<std::string, 4>{"eins", "", "", ""}));
}

// A session or configuration file that cannot be written is named in the retry question with the
// reason: links in a circle, a link that leads nowhere, a folder without write permission.
TEST_F(SessionFileTest, FilesThatCannotBeWrittenAreNamedWithTheReason) {
  const std::string cff = Folder() + "qern.cff";
  struct Case {
    std::string Link;  // where qern.cff leads ("" for none)
    std::string Reason;
  };
  for (const Case& c : {Case{"qern.cff", cff + ": Verweise im Kreis"},
                        Case{root_ + "/fehlt/qern.cff",
                             "Verweis " + cff + " führt ins Leere (" + root_ + "/fehlt/qern.cff)"}}) {
    SCOPED_TRACE(c.Link);
    fs::remove(cff);
    fs::create_symlink(c.Link, cff);
    dialogs_->Clear();
    dialogs_->QueueRetry();
    Session.RecentFiles = {"/d/a.qrk", "", "", ""};
    WriteSessionFile();  // retried once, then given up
    EXPECT_TRUE(Flags.AbortFlag);
    ASSERT_EQ(dialogs_->Log.size(), 2u);
    for (const auto& shown : dialogs_->Log) {
      EXPECT_EQ(shown.Kind, "retry");
      EXPECT_EQ(shown.Text, "Datei " + cff + " kann nicht geschrieben werden: " + c.Reason + " !");
    }
    EXPECT_TRUE(fs::is_symlink(cff));
  }
  fs::remove(cff);

  // The configuration file in a folder that its user may not write (only root's child can act
  // as another user here).
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  EXPECT_TRUE(AsNobody([this] {
    dialogs_->Clear();
    Flags.AbortFlag = false;
    WriteConfiguration();
    return Flags.AbortFlag && dialogs_->Log.size() == 1 &&
           dialogs_->Log[0].Text == "Datei " + CfgName() +
                                        " kann nicht geschrieben werden: keine "
                                        "Schreibberechtigung im Ordner " + Folder() + " !";
  }));
  EXPECT_FALSE(fs::exists(CfgName()));
}

// A session file made read-only (the user pins the list, or it is shared) is kept without a word:
// it is written at the very end of the run, when the user can do nothing about it.
TEST_F(SessionFileTest, AReadOnlySessionFileIsKeptSilently) {
  const std::string cff = Folder() + "qern.cff";
  WriteFileLines(cff, {"t", "/d/pinned.qrk", "", "", ""});
  fs::permissions(cff, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  Flags.ErrorBoxesEnabled = true;
  Session.RecentFiles = {"/d/neu.qrk", "/d/pinned.qrk", "", ""};
  WriteSessionFile();
  EXPECT_TRUE(dialogs_->Log.empty()) << dialogs_->Last().Text;
  EXPECT_EQ(ReadFileLines(cff)[1], "/d/pinned.qrk");
}

class FolderCheckTest : public ConfigFileTest {};

TEST_F(FolderCheckTest, EmptyFoldersBecomeTheStartFolderAndBadOnesAreReported) {
  Settings.StartFolder = root_ + "/conf";
  Settings.CadFolder = Folder();
  Settings.TempFolder = "  ";
  Settings.DbfFolder = Settings.PltFolder = Settings.EdiFolder = Settings.DefaultDataFolder = "";
  CheckConfiguredFolders();
  EXPECT_EQ(Settings.TempFolder, Folder());
  EXPECT_EQ(Settings.DbfFolder, Folder());
  EXPECT_EQ(Settings.DefaultDataFolder, Folder());
  EXPECT_TRUE(dialogs_->Messages().empty());

  dialogs_->Clear();
  Settings.CadFolder = root_ + "/fehlt/cad";
  Settings.PltFolder = root_ + "/fehlt/plt";
  Settings.TempFolder = root_ + "/fehlt/temp";
  Settings.DefaultDataFolder = root_ + "/fehlt/data";
  dialogs_->QueueText(root_ + "/home");
  Flags.ErrorBoxesEnabled = true;
  CheckConfiguredFolders();
  EXPECT_EQ(dialogs_->Messages(), (std::vector<std::string>{
                                      "ungültiger CAD Ordner konfiguriert",
                                      "ungültiger PLT Ordner konfiguriert",
                                      "ungültiger Ordner für temporäre Dateien konfiguriert",
                                      "ungültiger Data Ordner konfiguriert"}));
  EXPECT_EQ(Settings.TempFolder, root_ + "/home");
  EXPECT_FALSE(Flags.AbortFlag);

  // A cancel keeps the old folder.
  dialogs_->Clear();
  Settings.TempFolder = root_ + "/fehlt/temp";
  CheckConfiguredFolders();
  EXPECT_EQ(Settings.TempFolder, root_ + "/fehlt/temp");
  EXPECT_FALSE(Flags.AbortFlag);
}

// A folder that is there but cannot be written is said once, with the reason, whatever it serves
// as: here the start folder of a run that configured nothing.
TEST_F(FolderCheckTest, AFolderThatCannotBeWrittenIsSaidOnce) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  EXPECT_TRUE(AsNobody([this] {
    Settings.StartFolder = root_ + "/conf";
    Settings.CadFolder = Folder();
    Settings.TempFolder = Settings.DbfFolder = Settings.PltFolder = Settings.EdiFolder =
        Settings.DefaultDataFolder = "";
    Flags.ErrorBoxesEnabled = true;
    dialogs_->Clear();
    CheckConfiguredFolders();
    return dialogs_->Messages() ==
           std::vector<std::string>{"In den Ordner " + Folder() +
                                    " kann nicht geschrieben werden (keine Schreibberechtigung) !"};
  }));
}

}  // namespace
