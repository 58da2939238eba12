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
  s.PanFactor = 0.25L; s.ExeFolder = "/opt/qern/"; s.GravuraCommandLines[0] = "plot eins";
  s.GravuraCommandLines[1] = "plot zwei"; s.GravuraCommandLines[2] = "plot drei";
  s.GravuraCommandCount = 3; s.BackgroundColor = 0xFFFFFF; s.PrintColorMode = 2;
  s.LayerMonochrome = true; s.GraphicTextWidthFactor = 0.625L; s.GraphicFontName = "DejaVu Sans";
  for (int i = 0; i < 16; ++i) s.ColorLayerColors[i] = 16 - i;
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
  for (int i = 0; i < 16; ++i) s.ColorLayerLineWidths[i] = i % 3 + 1;
  s.SpecialCharMode = 1; s.FontScalePercent = 110; s.AngleFormat = 2; s.DimensionSizeFactor = 1.75L;
  s.ConfigReservedNumber = 42; s.LanguageNumber = 2; s.ResultGraphicKind = 4;
  s.DrawMakerTitle = s.DrawFileName = s.DrawDate = s.DrawLogo = true;
  s.DrawFooter = s.DrawTitleBlock = true; s.UseCurrentFile = true; s.SaveMenuLanguage = true;
  s.TitleBlockKind = 1;
  for (int i = 0; i < 16; ++i) s.ColorPalette[i] = 0x010101 * (i + 1);
  s.Cad3DTo2D = false; s.DrawProtectionNote = true; s.ManualFolder = "/usr/share/doc/qern/";
  s.DrawingMargin = 0; s.DrawFrameZones = s.DrawMmScale = s.DrawChangeLog = true;
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
  void TearDown() override {
    setenv("HOME", savedHome_.c_str(), 1);
  }
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
  EXPECT_EQ(Settings.ConfigFolder, Folder());
  EXPECT_TRUE(Settings == s);
  // Field by field for a readable failure.
  EXPECT_EQ(Settings.GravuraCommandLines, s.GravuraCommandLines);
  EXPECT_EQ(Settings.ColorPalette, s.ColorPalette);
  EXPECT_EQ(Settings.TextWindowRect, s.TextWindowRect);
  EXPECT_EQ(Settings.Default3DAngles, s.Default3DAngles);
  EXPECT_EQ(Settings.Cad3DTo2D, false);
  EXPECT_EQ(Settings.LanguageNumber, 2);
}

TEST_F(ConfigFileTest, LabelLinesStandWhereTheReaderExpectsThem) {
  const auto lines = WriteSettings(Settings);
  ASSERT_GT(lines.size(), 250u);
  EXPECT_EQ(lines[0], "Konfiguration qern");
  EXPECT_EQ(lines[1], "Version 1.0");
  EXPECT_EQ(lines[2], "Layer");
  EXPECT_EQ(lines[3], "1");
  EXPECT_EQ(lines[4], "Farbe");
  EXPECT_EQ(lines[5], "2");
  EXPECT_EQ(lines[22], "Textstil CAD");
  EXPECT_EQ(lines[23], "TXT8");
  EXPECT_EQ(lines[36], "Druckertyp");
  EXPECT_EQ(lines[40], "Hardcopy um 90° gedreht ?");
  EXPECT_EQ(lines[41], "J");
  EXPECT_EQ(lines[42], "Dezimalstellen");
  EXPECT_EQ(lines[IndexOf(lines, "Farbgrafik") + 1], "TRUE");
  EXPECT_EQ(lines[IndexOf(lines, "Auflösung horizontal") - 4], "Grafik-Mode");
  EXPECT_EQ(lines[IndexOf(lines, "Color Layer 31") - 2], "Color Layer 30");
  EXPECT_EQ(lines[IndexOf(lines, "Text window left/top/width/height") + 1], "10|40|700|440|");
  EXPECT_EQ(lines[IndexOf(lines, "GRAVURA Command lines (n, line 2 .. line n)") + 1], "1");
  // 3-D angles in radians with seven decimals, then the three unlabelled entries.
  const size_t angles = IndexOf(lines, "3D - Default x,y,z");
  EXPECT_EQ(lines[angles + 1], "-0.2617994");
  EXPECT_EQ(lines[angles + 2], "1.5707963");
  EXPECT_EQ(lines[angles + 4], "0");       // IndexStyle
  EXPECT_EQ(lines[angles + 5], "2");       // ExcelDecimalMode
  EXPECT_EQ(lines[angles + 7], "Decimals DXF,TXT");
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
  const auto shifted = WriteSettings(s);
  ASSERT_EQ(plain.size(), shifted.size());
  const size_t dec = IndexOf(plain, "Dezimalstellen") + 1;
  const size_t sep = IndexOf(plain, "Dot=1 Komma=2") + 1;
  for (size_t i = 0; i < plain.size(); ++i) {
    if (i == dec || i == sep) continue;
    EXPECT_EQ(plain[i], shifted[i]) << "line " << i + 1;
  }
  EXPECT_EQ(shifted[dec], "6");
  EXPECT_EQ(shifted[sep], "2");
  EXPECT_EQ(Settings.Decimals, 6);
  EXPECT_EQ(Settings.DecimalSeparatorMode, 2);
}

TEST_F(ConfigFileTest, FallbacksOfReadValues) {
  ProgramSettings s = Settings;
  s.Decimals = 12;
  s.LinesPerPage = 4;
  s.DefaultTextDevice = 10;
  s.LanguageNumber = 3;
  s.SaveMenuLanguage = false;
  s.ScreendumpScale = 0;
  s.ScreendumpScaleY = 2.5;
  s.ColorPalette[3] = 0;
  s.HeaderSpaceLines = 31;
  s.FormScalePercent = 5;
  s.CadDecimals = 33;
  s.AngleFormat = 3;
  s.ManualFolder = "";
  s.ExeFolder = "/opt/q/";
  s.LayerLineWidths[2] = 256;
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

  s.Decimals = 0;
  s.LinesPerPage = 5;
  s.DefaultTextDevice = 0;
  WriteSettings(s);
  ReadFresh();
  EXPECT_EQ(Settings.Decimals, 3);
  EXPECT_EQ(Settings.LinesPerPage, 5);
  EXPECT_EQ(Settings.DefaultTextDevice, 1);
}

TEST_F(ConfigFileTest, ValueLinesThatAreNotNumbersTakeTheFallback) {
  auto lines = WriteSettings(Written());
  lines[IndexOf(lines, "Zeilen pro Seite für Drucker") + 1] = "viele";
  lines[IndexOf(lines, "Zoomfaktor") + 1] = "1,25";  // a decimal comma reads too
  lines[IndexOf(lines, "Pan-Faktor") + 1] = "";
  lines[IndexOf(lines, "Text window left/top/width/height") + 1] = "1|2|0|5|";
  lines[IndexOf(lines, "Edit 3D x,y,z ?") + 1] = "ja";        // only FALSE turns it off
  lines[IndexOf(lines, "Graphic Printout Dialog Box ?") + 1] = "true";  // TRUE in any case
  WriteFileLines(CfgName(), lines);
  ReadFresh();
  EXPECT_TRUE(Settings.Edit3DAngles);
  EXPECT_TRUE(Settings.GraphicPrintDialog);
  EXPECT_EQ(Settings.LinesPerPage, 66);
  EXPECT_EQ(Settings.ZoomFactor, 1.25L);
  EXPECT_EQ(Settings.PanFactor, 0.01L);
  EXPECT_EQ(Settings.TextWindowRect, (std::array<int, 4>{10, 40, 700, 440}));
}

// A file cut before each test point reads everything before it and keeps the rest.
TEST_F(ConfigFileTest, FileEndingAtEachTestPointKeepsTheRemainingStartValues) {
  const ProgramSettings s = Written();
  const auto lines = WriteSettings(s);
  const ProgramSettings start = [&] { Fresh(); return Settings; }();
  struct Cut {
    std::string label;
    std::function<void()> check;
  };
  const std::vector<Cut> cuts = {
      {"Druckertyp", [&] {
         EXPECT_EQ(Settings.PrinterPort, s.PrinterPort);
         EXPECT_EQ(Settings.PrinterType, start.PrinterType);
       }},
      {"Druckdichte", [&] {
         EXPECT_EQ(Settings.PrinterType, s.PrinterType);
         EXPECT_EQ(Settings.PrintDensity, start.PrintDensity);
       }},
      {"Farbgrafik", [&] {
         EXPECT_EQ(Settings.PrintDensityVertical, s.PrintDensityVertical);
         EXPECT_EQ(Settings.ColorGraphics, start.ColorGraphics);
       }},
      {"EDI Ordner", [&] {
         EXPECT_EQ(Settings.HardcopyPort, s.HardcopyPort);
         EXPECT_EQ(Settings.ScreenWidth, s.ScreenWidth);
         EXPECT_EQ(Settings.EdiFolder, start.EdiFolder);
       }},
      {"GRAVURA-Kommandozeile", [&] {
         EXPECT_EQ(Settings.ExeFolder, s.ExeFolder);
         EXPECT_EQ(Settings.GravuraCommandLines[0], start.GravuraCommandLines[0]);
       }},
      {"Hintergrundfarbe", [&] {
         EXPECT_EQ(Settings.GravuraCommandLines[0], s.GravuraCommandLines[0]);
         EXPECT_EQ(Settings.BackgroundColor, start.BackgroundColor);
       }},
      {"Windows-Druckmodus (1=mono 2=color)", [&] {
         EXPECT_EQ(Settings.BackgroundColor, s.BackgroundColor);
         EXPECT_EQ(Settings.PrintColorMode, start.PrintColorMode);
       }},
      {"Layer Monochrom", [&] {
         EXPECT_EQ(Settings.PrintColorMode, s.PrintColorMode);
         EXPECT_EQ(Settings.LayerMonochrome, start.LayerMonochrome);
         EXPECT_EQ(Settings.GraphicTextWidthFactor, start.GraphicTextWidthFactor);
       }},
      {"Textbreitenfaktor Grafik", [&] {
         EXPECT_EQ(Settings.LayerMonochrome, s.LayerMonochrome);
         EXPECT_EQ(Settings.GraphicTextWidthFactor, s.CadTextWidthFactor);
         EXPECT_EQ(Settings.GraphicFontName, "Arial");
       }},
      {"Color Layer 16", [&] {
         EXPECT_EQ(Settings.GraphicFontName, s.GraphicFontName);
         EXPECT_EQ(Settings.ColorLayerColors, start.ColorLayerColors);
       }},
      {"Color Layer 24", [&] {
         EXPECT_EQ(Settings.ColorLayerColors[7], s.ColorLayerColors[7]);
         EXPECT_EQ(Settings.ColorLayerColors[8], start.ColorLayerColors[8]);
       }},
      {"Textprogramm", [&] {
         EXPECT_EQ(Settings.ColorLayerColors, s.ColorLayerColors);
         EXPECT_EQ(Settings.TextProgram, start.TextProgram);
       }},
      {"Windows Screendump Origin X", [&] {
         EXPECT_EQ(Settings.ExternalDatabase, s.ExternalDatabase);
         EXPECT_EQ(Settings.ScreendumpOriginX, start.ScreendumpOriginX);
       }},
      {"GRAVURA Command lines (n, line 2 .. line n)", [&] {
         EXPECT_EQ(Settings.ScreendumpBorder, s.ScreendumpBorder);
         EXPECT_EQ(Settings.GravuraCommandCount, start.GravuraCommandCount);
       }},
      {"Print Scale Vertical", [&] {
         EXPECT_EQ(Settings.HtmlBrowser, s.HtmlBrowser);
         EXPECT_EQ(Settings.FormScalePercent, s.FormScalePercent);
         EXPECT_EQ(Settings.ScreendumpScaleY, start.ScreendumpScaleY);
       }},
      {"Line thickness Layer 0..5", [&] {
         EXPECT_EQ(Settings.ScreendumpScaleY, s.ScreendumpScaleY);
         EXPECT_EQ(Settings.LayerLineWidths, start.LayerLineWidths);
         EXPECT_EQ(Settings.Default3DAngles, start.Default3DAngles);
         EXPECT_EQ(Settings.LanguageNumber, start.LanguageNumber);
       }},
      {"3D - Default x,y,z", [&] {
         EXPECT_EQ(Settings.Edit3DAngles, s.Edit3DAngles);
         EXPECT_EQ(Settings.Default3DAngles, start.Default3DAngles);
         EXPECT_EQ(Settings.IndexStyle, start.IndexStyle);
       }},
  };
  for (const Cut& cut : cuts) {
    SCOPED_TRACE(cut.label);
    WriteFirstLines(CfgName(), lines, IndexOf(lines, cut.label));
    ReadFresh();
    EXPECT_FALSE(Flags.AbortFlag);
    cut.check();
    // Whatever the end, the screen size is set.
    EXPECT_GT(Settings.ScreenWidth, 0);
    EXPECT_GT(Settings.ScreenHeight, 0);
  }
}

TEST_F(ConfigFileTest, EarlyEndBeforeTheScreenSizeStillGivesTheScreenDefaults) {
  const auto lines = WriteSettings(Written());
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
  EXPECT_EQ(Settings.GravuraCommandCount, s.GravuraCommandCount);
  EXPECT_EQ(Settings.DateFormat, start.DateFormat);
  EXPECT_EQ(Settings.DefaultTextDevice, start.DefaultTextDevice);
  EXPECT_EQ(Settings.AskDiagramLimits, start.AskDiagramLimits);
  EXPECT_EQ(Settings.DecimalSeparatorMode, 1);
  EXPECT_EQ(Settings.DefaultDataFolder, Settings.StartFolder + "/");
  EXPECT_EQ(Settings.GraphicTextHeightFactor, start.GraphicTextHeightFactor);
  EXPECT_EQ(Settings.FormScalePercent, start.FormScalePercent);
  EXPECT_EQ(Settings.HtmlBrowser, "");
  EXPECT_EQ(Settings.ScreendumpScaleY, start.ScreendumpScaleY);
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
  EXPECT_TRUE(Flags.ArchiveMode == false);
  EXPECT_EQ(Settings.DateFormat, s.DateFormat);
  EXPECT_EQ(Settings.UseInsertBlockFiles, true);

  // Settings with a count above nine are written with nine, so the file stays in step.
  s.GravuraCommandCount = 12;
  WriteSettings(s);
  ReadFresh();
  EXPECT_EQ(Settings.GravuraCommandCount, 9);
  EXPECT_EQ(Settings.DateFormat, s.DateFormat);
  EXPECT_EQ(Settings.DefaultDataFolder, s.DefaultDataFolder);
}

TEST_F(ConfigFileTest, SearchOrderConfigFolderThenMakerFolderThenItsSubfolder) {
  const std::string maker = root_ + "/home/.zorquan/";
  ProgramSettings s = Written();
  // Only in the subfolder.
  fs::create_directories(maker + "qern");
  s.HelpLevel = 0;
  WriteSettings(s);
  fs::rename(CfgName(), maker + "qern/qern.cfg");
  ReadFresh();
  EXPECT_FALSE(Flags.AbortFlag);
  EXPECT_EQ(Settings.HelpLevel, 0);
  EXPECT_EQ(Settings.ConfigFolder, maker + "qern/");
  // The maker's folder comes before its subfolder.
  s.HelpLevel = 2;
  Settings.ConfigFolder = Folder();
  WriteSettings(s);
  fs::rename(CfgName(), maker + "qern.cfg");
  ReadFresh();
  EXPECT_EQ(Settings.HelpLevel, 2);
  EXPECT_EQ(Settings.ConfigFolder, maker);
  // The configuration folder comes first.
  s.HelpLevel = 7;
  WriteSettings(s);
  ReadFresh();
  EXPECT_EQ(Settings.HelpLevel, 7);
  EXPECT_EQ(Settings.ConfigFolder, Folder());
  EXPECT_EQ(MakerFolder(), maker);
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
  ScreenMetrics screen;
  screen.Width = 1920;
  screen.Height = 1080;
  screen.LogPixelsY = 144;
  screen.WindowHeight = 846;
  screen.ClientHeight = 800;
  ReadConfiguration(screen);
  EXPECT_EQ(Settings.ScreenWidth, 1911);
  EXPECT_EQ(Settings.ScreenHeight, 989);
  EXPECT_EQ(Settings.FormScalePercent, 151);  // 1.5 x (846 / 846 + 0.009) x 100
}

TEST_F(ConfigFileTest, FailedWriteKeepsTheOldFile) {
  const auto before = WriteSettings(Settings);
  ProgramSettings s = Written();
  Settings = s;
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

class FolderCheckTest : public ConfigFileTest {};

TEST_F(FolderCheckTest, EmptyFoldersBecomeTheStartFolderAndBadOnesAreReported) {
  Settings.StartFolder = root_ + "/conf";
  Settings.CadFolder = Folder();
  Settings.TempFolder = "  ";
  Settings.DbfFolder = "";
  Settings.PltFolder = "";
  Settings.EdiFolder = "";
  Settings.DefaultDataFolder = "";
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
  const auto messages = dialogs_->Messages();
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[0], "ungültiger CAD Ordner konfiguriert");
  EXPECT_EQ(messages[1], "ungültiger PLT Ordner konfiguriert");
  EXPECT_EQ(messages[2], "ungültiger Ordner für temporäre Dateien konfiguriert");
  EXPECT_EQ(messages[3], "ungültiger Data Ordner konfiguriert");
  EXPECT_EQ(Settings.TempFolder, root_ + "/home");
  EXPECT_FALSE(Flags.AbortFlag);

  // A cancel keeps the old folder.
  dialogs_->Clear();
  Settings.TempFolder = root_ + "/fehlt/temp";
  CheckConfiguredFolders();
  EXPECT_EQ(Settings.TempFolder, root_ + "/fehlt/temp");
  EXPECT_FALSE(Flags.AbortFlag);
}

}  // namespace
