// Reading and writing of the configuration and session files, the screen-size fallback and the
// start-up check of the configured folders.
#include "framework/configio.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "framework/dialogs.h"
#include "framework/lconfigmodel.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/fileerror.h"

namespace qern {

namespace {

const char* const ReservedLabel = "reserviert";

bool IsUnsetScreenSize(int v) { return v <= 0 || v >= 65535; }

bool IsBlank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

// Whole number of a field text; 0 when it is not one.
int FieldInt(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(begin, &end, 10);
  while (*end == ' ') ++end;
  if (end == begin || *end != '\0' || errno != 0 || v < INT32_MIN || v > INT32_MAX) return 0;
  return static_cast<int>(v);
}

bool IsWhole(const std::string& text) {
  int64_t v = 0;
  return TextToWhole(text, v) && v >= INT32_MIN && v <= INT32_MAX;
}

// Reads the settings entry by entry; each test point ends reading when the file has ended.
// The Labeled... readers skip an entry's label line and read its value line.
class ConfigReader {
 public:
  explicit ConfigReader(const ScreenMetrics& screen) : screen_(screen) {}

  void Run() {
    ReadEntries();
    if (languageRead_ && !Settings.SaveMenuLanguage) Settings.LanguageNumber = 0;
    DefaultScreenSize(screen_);
  }

 private:
  const ScreenMetrics& screen_;
  bool languageRead_ = false;

  static bool Ended() { return DataFile.Eof(); }
  static void Skip() { Str(); }

  static std::string Str() {
    std::string s;
    ReadLine(s);
    return s;
  }
  // A number line that holds no number keeps the setting's value (the entry's fallback then
  // applies as after any other value).
  static int Int(int current) {
    int n = 0;
    return ReadIntegerLine(n) ? n : current;
  }
  static long double Real(long double current) {
    long double x = 0;
    return ReadExtendedLine(x) ? x : current;
  }
  // "TRUE" in any case gives true; a failed read keeps current.
  static bool Bool(bool current) {
    ReadBoolTrue(current);
    return current;
  }
  static std::string LabeledStr() { Skip(); return Str(); }
  static int LabeledInt(int current) { Skip(); return Int(current); }
  static long double LabeledReal(long double current) { Skip(); return Real(current); }
  static bool LabeledBool(bool current) { Skip(); return Bool(current); }

  void ReadEntries() {
    ProgramSettings& s = Settings;
    Skip();  // "Konfiguration qern"
    Skip();  // "Version 1.0"
    for (int i = 1; i <= 5; ++i) {
      s.CadLayerNames[i] = LabeledStr();
      s.CadLayerColors[i] = LabeledInt(s.CadLayerColors[i]);
    }
    s.CadTextStyle = LabeledStr();
    s.CadTextWidthFactor = LabeledReal(s.CadTextWidthFactor);
    if (s.CadTextWidthFactor == 0) s.CadTextWidthFactor = 1.0L;
    s.CadTextAngle = LabeledReal(s.CadTextAngle);
    s.CadFolder = LabeledStr();
    s.DbfFolder = LabeledStr();
    s.HelpLevel = LabeledInt(s.HelpLevel);
    s.PrinterPort = LabeledInt(s.PrinterPort);
    if (s.PrinterPort == 0) s.PrinterPort = 1;
    if (Ended()) return;
    s.PrinterType = LabeledInt(s.PrinterType);
    if (Ended()) return;
    s.PrintDensity = LabeledInt(s.PrintDensity);
    Skip();
    char c = 0;
    ReadCharLine(c);
    s.HardcopyRotated = c == 0 ? 'N' : c;
    s.Decimals = LabeledInt(s.Decimals);
    if (s.Decimals < 1 || s.Decimals > 9) s.Decimals = 3;
    s.PrintDensityVertical = LabeledInt(s.PrintDensityVertical);
    if (s.PrintDensityVertical == 0 || s.PrintDensityVertical > 4) s.PrintDensityVertical = 1;
    if (Ended()) return;
    s.ColorGraphics = LabeledBool(s.ColorGraphics);
    s.GraphicCorrectionFactor = LabeledReal(s.GraphicCorrectionFactor);
    if (s.GraphicCorrectionFactor == 0) s.GraphicCorrectionFactor = 1.0L;
    s.GraphicMode = LabeledInt(s.GraphicMode);
    s.GraphicDriver = LabeledInt(s.GraphicDriver);
    s.ScreenWidth = LabeledInt(s.ScreenWidth);
    s.ScreenHeight = LabeledInt(s.ScreenHeight);
    s.TempFolder = LabeledStr();
    s.HardcopyPort = LabeledInt(s.HardcopyPort);
    if (s.HardcopyPort == 0) s.HardcopyPort = 1;
    if (Ended()) return;
    s.EdiFolder = LabeledStr();
    s.PltFolder = LabeledStr();
    s.SeparatorMode = LabeledInt(s.SeparatorMode);
    if (s.SeparatorMode == 0) s.SeparatorMode = 1;
    s.LinesPerPage = LabeledInt(s.LinesPerPage);
    if (s.LinesPerPage < 5) s.LinesPerPage = 66;
    s.ZoomFactor = LabeledReal(s.ZoomFactor);
    if (s.ZoomFactor == 0) s.ZoomFactor = 1.02L;
    s.PanFactor = LabeledReal(s.PanFactor);
    if (s.PanFactor == 0) s.PanFactor = 0.01L;
    s.ExeFolder = LabeledStr();
    if (Ended()) return;
    if (std::string line = LabeledStr(); !line.empty()) s.GravuraCommandLines[0] = line;
    if (Ended()) return;
    s.BackgroundColor = LabeledInt(s.BackgroundColor);
    if (Ended()) return;
    s.PrintColorMode = LabeledInt(s.PrintColorMode);
    if (s.PrintColorMode == 0) s.PrintColorMode = 1;
    if (Ended()) return;
    s.LayerMonochrome = LabeledBool(s.LayerMonochrome);
    if (Ended()) {
      s.GraphicTextWidthFactor = s.CadTextWidthFactor;
      s.GraphicFontName = "Arial";
      return;
    }
    s.GraphicTextWidthFactor = LabeledReal(s.GraphicTextWidthFactor);
    if (s.GraphicTextWidthFactor == 0) s.GraphicTextWidthFactor = 0.8L;
    s.GraphicFontName = LabeledStr();
    for (int& color : s.ColorLayerColors) {
      if (Ended()) return;
      color = LabeledInt(color);
      if (color == 0) color = 1;
    }
    if (Ended()) return;
    s.TextProgram = LabeledStr();
    s.DatabaseMode = LabeledInt(s.DatabaseMode);
    s.ExternalDatabase = LabeledStr();
    if (Ended()) return;
    s.ScreendumpOriginX = LabeledInt(s.ScreendumpOriginX);
    s.ScreendumpOriginY = LabeledInt(s.ScreendumpOriginY);
    s.ScreendumpScale = static_cast<double>(LabeledReal(s.ScreendumpScale));
    if (s.ScreendumpScale == 0) s.ScreendumpScale = s.ScreendumpScaleY = 1.0;
    s.ScreendumpBorder = LabeledBool(s.ScreendumpBorder);
    if (Ended()) return;
    LabeledStr();  // reserved
    LabeledStr();  // reserved
    if (Ended()) return;
    // A count above the nine lines kept still has its lines read, so the next entries stay in step;
    // a damaged count ends at the end of the file; a count that is no number reads no lines and
    // keeps the count.
    Skip();
    int n = 0;
    const bool countRead = ReadIntegerLine(n);
    for (long long k = 2; k <= n && !Ended(); ++k) {
      std::string line = Str();
      if (k <= ProgramSettings::GravuraLineCount) s.GravuraCommandLines[k - 1] = line;
    }
    if (countRead) s.GravuraCommandCount = std::clamp(n, 0, ProgramSettings::GravuraLineCount);
    Flags.ArchiveMode = LabeledBool(Flags.ArchiveMode);
    // Entries with a test of their own: skipped when the file has ended, fallbacks in any case.
    if (!Ended()) LabeledStr();  // reserved
    if (!Ended()) s.DateFormat = LabeledInt(s.DateFormat);
    if (s.DateFormat == 0) s.DateFormat = 3;
    if (!Ended()) s.HeaderSpaceLines = LabeledInt(s.HeaderSpaceLines);
    if (s.HeaderSpaceLines >= 31 || s.HeaderSpaceLines < 0) s.HeaderSpaceLines = 0;
    if (!Ended()) {
      s.DefaultTextDevice = LabeledInt(s.DefaultTextDevice);
      s.AskTextDevice = LabeledBool(s.AskTextDevice);
    }
    if (s.DefaultTextDevice < 1 || s.DefaultTextDevice > 9) s.DefaultTextDevice = 1;
    if (!Ended()) s.SmallOnlineWindow = LabeledBool(s.SmallOnlineWindow);
    if (!Ended()) s.AskDiagramLimits = LabeledBool(s.AskDiagramLimits);
    // Entries 75, 76 and 79 are read without a test: an ended file gives their fallbacks.
    s.DecimalSeparatorMode = LabeledInt(s.DecimalSeparatorMode);
    if (s.DecimalSeparatorMode < 1 || s.DecimalSeparatorMode > 2) s.DecimalSeparatorMode = 1;
    s.DefaultDataFolder = LabeledStr();
    if (s.DefaultDataFolder.empty()) s.DefaultDataFolder = AddBackslash(s.StartFolder);
    Skip();
    if (!Ended()) s.GraphicTextHeightFactor = Real(s.GraphicTextHeightFactor);
    if (s.GraphicTextHeightFactor < 0.1L) s.GraphicTextHeightFactor = 1.0L;
    Skip();
    if (!Ended()) s.FormScalePercent = Int(s.FormScalePercent);
    if (s.FormScalePercent < 10 || s.FormScalePercent > 1000) s.FormScalePercent = 100;
    s.HtmlBrowser = LabeledStr();
    if (Ended()) return;
    s.ScreendumpScaleY = static_cast<double>(LabeledReal(s.ScreendumpScaleY));
    if (s.ScreendumpScaleY < 0.0001) s.ScreendumpScaleY = s.ScreendumpScale;

    // From here on the file has no test points of its own; a file that ends keeps the settings
    // not yet reached instead of reading empty lines into them.
    if (Ended()) return;
    Skip();
    for (int& w : s.LayerLineWidths) {
      w = Int(w);
      if (w < 1 || w > 255) w = 1;
    }
    if (Ended()) return;
    s.GraphicPrintDialog = LabeledBool(s.GraphicPrintDialog);
    if (Ended()) return;
    Skip();
    std::string left, top, width, height;
    ReadFields(left, top, width, height);
    if (FieldInt(width) != 0 && FieldInt(height) != 0 && IsWhole(left) && IsWhole(top))
      s.TextWindowRect = {FieldInt(left), FieldInt(top), FieldInt(width), FieldInt(height)};
    if (Ended()) return;
    s.UnitSystem = LabeledInt(s.UnitSystem);
    if (Ended()) return;
    s.HeaderMode = LabeledInt(s.HeaderMode);
    if (s.HeaderMode < 1 || s.HeaderMode > 2) s.HeaderMode = 1;
    if (Ended()) return;
    s.PrintFontName = LabeledStr();
    if (s.PrintFontName.empty()) s.PrintFontName = "Courier New";
    if (Ended()) return;
    s.PrintFontSize = LabeledInt(s.PrintFontSize);
    if (s.PrintFontSize == 0) s.PrintFontSize = 10;
    if (Ended()) return;
    s.PrintFontStyle = LabeledInt(s.PrintFontStyle);
    if (Ended()) return;
    s.GraphicFontStyle = LabeledInt(s.GraphicFontStyle);
    if (Ended()) return;
    s.PrintOrientation = LabeledInt(s.PrintOrientation);
    if (Ended()) return;
    Skip();
    ReadBoolNotFalse(s.Edit3DAngles);
    if (Ended()) return;
    Skip();
    for (long double& a : s.Default3DAngles) a = Real(a);
    // Unlabelled entries 93 to 95.
    if (Ended()) return;
    s.IndexStyle = Int(s.IndexStyle);
    if (Ended()) return;
    s.ExcelDecimalMode = Int(s.ExcelDecimalMode);
    if (s.ExcelDecimalMode == 0) s.ExcelDecimalMode = 2;
    if (Ended()) return;
    s.ReleaseFieldText = Str();
    if (Ended()) return;
    s.CadDecimals = LabeledInt(s.CadDecimals);
    if (s.CadDecimals < 1 || s.CadDecimals > 32) s.CadDecimals = 6;
    if (Ended()) return;
    s.CadTextMode = LabeledInt(s.CadTextMode);
    if (s.CadTextMode == 0) s.CadTextMode = 1;
    if (Ended()) return;
    Skip();
    for (int& w : s.ColorLayerLineWidths) w = Int(w);
    // Unlabelled entries 99 to 139.
    if (Ended()) return;
    s.SpecialCharMode = Int(s.SpecialCharMode);
    if (Ended()) return;
    s.FontScalePercent = Int(s.FontScalePercent);
    if (s.FontScalePercent < 10 || s.FontScalePercent > 1000) s.FontScalePercent = 100;
    if (Ended()) return;
    s.AngleFormat = Int(s.AngleFormat);
    if (s.AngleFormat == 0 || s.AngleFormat > 2) s.AngleFormat = 2;
    if (Ended()) return;
    s.DimensionSizeFactor = Real(s.DimensionSizeFactor);
    if (s.DimensionSizeFactor == 0) s.DimensionSizeFactor = 1.0L;
    if (Ended()) return;
    s.ConfigReservedNumber = Int(s.ConfigReservedNumber);
    if (Ended()) return;
    s.LanguageNumber = Int(s.LanguageNumber);
    languageRead_ = true;
    if (Ended()) return;
    s.ResultGraphicKind = Int(s.ResultGraphicKind);
    for (bool* b : {&s.DrawMakerTitle, &s.DrawFileName, &s.DrawDate, &s.DrawLogo, &s.DrawFooter,
                    &s.DrawTitleBlock, &s.UseCurrentFile, &s.SaveMenuLanguage}) {
      if (Ended()) return;
      *b = Bool(*b);
    }
    if (Ended()) return;
    s.TitleBlockKind = Int(s.TitleBlockKind);
    for (int i = 0; i < 16; ++i) {
      if (Ended()) return;
      if (const int color = Int(0); color > 0) s.ColorPalette[i] = color;
    }
    if (Ended()) return;
    s.Cad3DTo2D = !Bool(!s.Cad3DTo2D);  // stored negated
    if (Ended()) return;
    s.DrawProtectionNote = Bool(s.DrawProtectionNote);
    if (Ended()) return;
    s.ManualFolder = Str();
    if (s.ManualFolder.empty()) s.ManualFolder = s.ExeFolder;
    if (Ended()) return;
    s.DrawingMargin = Int(s.DrawingMargin);
    for (bool* b : {&s.DrawFrameZones, &s.DrawMmScale, &s.DrawChangeLog, &s.UseHeadBlockFiles,
                    &s.UseInsertBlockFiles}) {
      if (Ended()) return;
      *b = Bool(*b);
    }
  }
};

// Label line and value line(s) of one entry.
void LabeledStr(const std::string& label, const std::string& v) {
  WriteLine(label);
  WriteLine(v);
}
void LabeledInt(const std::string& label, int64_t v) {
  WriteLine(label);
  WriteIntegerLine(v);
}
void LabeledReal(const std::string& label, long double v) {
  WriteLine(label);
  WriteExtendedLine(v);
}
void LabeledShortReal(const std::string& label, long double v) {
  WriteLine(label);
  WriteLine(FloatStr(v));
}
void LabeledBool(const std::string& label, bool v) {
  WriteLine(label);
  WriteBoolLine(v);
}

// Writes the entries in file order; numbers do not depend on the display settings.
void WriteEntries(const ProgramSettings& s, int decimals, int separatorMode) {
  WriteLine("Konfiguration " + Ident.ProgramName);
  WriteLine("Version " + Ident.VersionText);
  for (int i = 1; i <= 5; ++i) {
    LabeledStr("Layer", s.CadLayerNames[i]);
    LabeledInt("Farbe", s.CadLayerColors[i]);
  }
  LabeledStr("Textstil CAD", s.CadTextStyle);
  LabeledShortReal("Textbreitenfaktor CAD", s.CadTextWidthFactor);
  LabeledShortReal("Textwinkel", s.CadTextAngle);
  LabeledStr("CAD Ordner", s.CadFolder);
  LabeledStr("DBF Ordner", s.DbfFolder);
  LabeledInt("Hilfegrad", s.HelpLevel);
  LabeledInt("Druckerschnittstelle", s.PrinterPort);
  LabeledInt("Druckertyp", s.PrinterType);
  LabeledInt("Druckdichte", s.PrintDensity);
  LabeledStr("Hardcopy um 90° gedreht ?", std::string(1, s.HardcopyRotated));
  LabeledInt("Dezimalstellen", decimals);
  LabeledInt("Druckdicke vertikal", s.PrintDensityVertical);
  LabeledBool("Farbgrafik", s.ColorGraphics);
  LabeledShortReal("GrafikKorrekturFaktor horizontal", s.GraphicCorrectionFactor);
  LabeledInt("Grafik-Mode", s.GraphicMode);
  LabeledInt("Grafik-Treiber", s.GraphicDriver);
  LabeledInt("Auflösung horizontal", s.ScreenWidth);
  LabeledInt("Auflösung vertikal", s.ScreenHeight);
  LabeledStr("Ordner für temporäre Dateien", s.TempFolder);
  LabeledInt("Druckerschnittstelle Hardcopy", s.HardcopyPort);
  LabeledStr("EDI Ordner", s.EdiFolder);
  LabeledStr("PLT Ordner", s.PltFolder);
  LabeledInt("Mode für Textausdruck 1:* 2:-", s.SeparatorMode);
  LabeledInt("Zeilen pro Seite für Drucker", s.LinesPerPage);
  LabeledReal("Zoomfaktor", s.ZoomFactor);
  LabeledReal("Pan-Faktor", s.PanFactor);
  LabeledStr("ZORQUAN-Programmverzeichnis", s.ExeFolder);
  LabeledStr("GRAVURA-Kommandozeile", s.GravuraCommandLines[0]);
  LabeledInt("Hintergrundfarbe", s.BackgroundColor);
  LabeledInt("Windows-Druckmodus (1=mono 2=color)", s.PrintColorMode);
  LabeledBool("Layer Monochrom", s.LayerMonochrome);
  LabeledReal("Textbreitenfaktor Grafik", s.GraphicTextWidthFactor);
  LabeledStr("Textstil Grafik", s.GraphicFontName);
  for (int i = 0; i < 16; ++i)
    LabeledInt("Color Layer " + std::to_string(ProgramSettings::ColorLayerFirst + i),
               s.ColorLayerColors[i]);
  LabeledStr("Textprogramm", s.TextProgram);
  LabeledInt("Datenbank mode", s.DatabaseMode);
  LabeledStr("externe Datenbank", s.ExternalDatabase);
  LabeledInt("Windows Screendump Origin X", s.ScreendumpOriginX);
  LabeledInt("Windows Screendump Origin Y", s.ScreendumpOriginY);
  LabeledReal("Windows Screendump Scale", s.ScreendumpScale);
  LabeledBool("Windows Screendump Border ?", s.ScreendumpBorder);
  LabeledBool(ReservedLabel, false);
  LabeledBool(ReservedLabel, false);
  // Never more lines than are kept, so that the reader stays in step.
  const int count = std::min(s.GravuraCommandCount, ProgramSettings::GravuraLineCount);
  LabeledInt("GRAVURA Command lines (n, line 2 .. line n)", count);
  for (int k = 2; k <= count; ++k) WriteLine(s.GravuraCommandLines[k - 1]);
  LabeledBool("Archive Flag ?", Flags.ArchiveMode);
  LabeledBool(ReservedLabel, false);
  LabeledInt("Date Code", s.DateFormat);
  LabeledInt("Header Space Lines", s.HeaderSpaceLines);
  LabeledInt("Text Device", s.DefaultTextDevice);
  LabeledBool("Text Device Window ?", s.AskTextDevice);
  LabeledBool("Small Online Window ?", s.SmallOnlineWindow);
  LabeledBool("Enter Diagram Limits ?", s.AskDiagramLimits);
  LabeledInt("Dot=1 Komma=2", separatorMode);
  LabeledStr("Default Data Directory", s.DefaultDataFolder);
  LabeledReal("Text Height Factor", s.GraphicTextHeightFactor);
  LabeledInt("Input Window Scale %", s.FormScalePercent);
  LabeledStr("HTML Browser", s.HtmlBrowser);
  LabeledReal("Print Scale Vertical", s.ScreendumpScaleY);
  WriteLine("Line thickness Layer 0..5");
  for (int w : s.LayerLineWidths) WriteIntegerLine(w);
  LabeledBool("Graphic Printout Dialog Box ?", s.GraphicPrintDialog);
  WriteLine("Text window left/top/width/height");
  const auto& r = s.TextWindowRect;
  WriteFields4(std::to_string(r[0]), std::to_string(r[1]), std::to_string(r[2]),
               std::to_string(r[3]));
  LabeledInt("Metric Units=0,  English units=1", s.UnitSystem);
  LabeledInt("printout with header=1, header page 1 only=2", s.HeaderMode);
  LabeledStr("Text Font Printout", s.PrintFontName);
  LabeledInt("Text Size Printout", s.PrintFontSize);
  LabeledInt("Text Style Printout", s.PrintFontStyle);
  LabeledInt("Text Style Graphics", s.GraphicFontStyle);
  LabeledInt("Printer: Portrait=1, Landscape=2", s.PrintOrientation);
  LabeledBool("Edit 3D x,y,z ?", s.Edit3DAngles);
  WriteLine("3D - Default x,y,z");
  for (long double a : s.Default3DAngles) WriteExtendedLine(a);
  WriteIntegerLine(s.IndexStyle);
  WriteIntegerLine(s.ExcelDecimalMode);
  WriteLine(s.ReleaseFieldText);
  LabeledInt("Decimals DXF,TXT", s.CadDecimals);
  LabeledInt("CAD Text Mode", s.CadTextMode);
  WriteLine("Strichstärke Layer 16..31");
  for (int w : s.ColorLayerLineWidths) WriteIntegerLine(w);
  WriteIntegerLine(s.SpecialCharMode);
  WriteIntegerLine(s.FontScalePercent);
  WriteIntegerLine(s.AngleFormat);
  WriteExtendedLine(s.DimensionSizeFactor);
  WriteIntegerLine(s.ConfigReservedNumber);
  WriteIntegerLine(s.LanguageNumber);
  WriteIntegerLine(s.ResultGraphicKind);
  for (bool b : {s.DrawMakerTitle, s.DrawFileName, s.DrawDate, s.DrawLogo, s.DrawFooter,
                 s.DrawTitleBlock, s.UseCurrentFile, s.SaveMenuLanguage})
    WriteBoolLine(b);
  WriteIntegerLine(s.TitleBlockKind);
  for (int i = 0; i < 16; ++i) WriteIntegerLine(s.ColorPalette[i]);
  WriteBoolLine(!s.Cad3DTo2D);  // stored negated
  WriteBoolLine(s.DrawProtectionNote);
  WriteLine(s.ManualFolder);
  WriteIntegerLine(s.DrawingMargin);
  for (bool b : {s.DrawFrameZones, s.DrawMmScale, s.DrawChangeLog, s.UseHeadBlockFiles,
                 s.UseInsertBlockFiles})
    WriteBoolLine(b);
}

// Writes a file through DataFile into a working file beside name, which then replaces name; a
// failed write leaves name as it was. Returns false (with AbortFlag set) on failure.
template <typename Body>
bool WriteReplacing(const std::string& name, Body body) {
  // A file the user made read-only is kept, as Save keeps such a design.
  CheckOutputNotReadOnly(name);
  if (Flags.AbortFlag) return false;
  DataFile.Assign(name);
  DataFile.SetReplacing(true);
  RewriteWithRetry(DataFile);
  if (Flags.AbortFlag) return false;
  body();
  const bool written = !Flags.AbortFlag;
  const int io = DataFile.IoResult();
  if (!written) DataFile.Close();  // the working file is dropped
  if (!written || !DataFile.Commit()) {
    Flags.AbortFlag = true;
    ReportWriteError(name, io != IoOk ? io : DataFile.IoResult());
    return false;
  }
  return true;
}

}  // namespace

std::string MakerFolder() {
  const char* home = std::getenv("HOME");
  std::string folder = home ? home : "";
  if (folder.empty()) {
    if (const passwd* pw = getpwuid(getuid())) folder = pw->pw_dir ? pw->pw_dir : "";
  }
  if (folder.empty()) return "";
  return AddBackslash(folder) + ".zorquan/";
}

std::string ConfigurationFileName() {
  return AddBackslash(Settings.ConfigFolder) + Ident.ProgramName + ".cfg";
}

std::string SessionFileName() {
  return AddBackslash(Settings.ConfigFolder) + Ident.ProgramName + ".cff";
}

void DefaultScreenSize(const ScreenMetrics& screen) {
  if (IsUnsetScreenSize(Settings.ScreenWidth)) Settings.ScreenWidth = screen.Width - 9;
  if (IsUnsetScreenSize(Settings.ScreenHeight)) Settings.ScreenHeight = screen.Height - 91;
  DataFile.Close();
}

void ReadConfiguration(const ScreenMetrics& screen) {
  const std::string fileName = Ident.ProgramName + ".cfg";
  DataFile.Assign(ConfigurationFileName());
  bool found = DataFile.Reset();
  const std::string maker = MakerFolder();
  if (!found && !maker.empty()) {
    DataFile.Assign(maker + fileName);
    if ((found = DataFile.Reset())) Settings.ConfigFolder = maker;
  }
  if (!found && !maker.empty()) {
    const std::string folder = maker + Ident.ProgramName + "/";
    DataFile.Assign(folder + fileName);
    if ((found = DataFile.Reset())) Settings.ConfigFolder = folder;
  }
  if (!found) {
    DefaultScreenSize(screen);
    Settings.TextWindowRect[3] = screen.Height - 80;
    Settings.FormScalePercent =
        DialogScaleFromScreen(screen.LogPixelsY, screen.WindowHeight, screen.ClientHeight);
    Flags.AbortFlag = true;
    return;
  }
  Flags.AbortFlag = false;
  Settings.GraphicCorrectionFactor = 1.0L;
  ConfigReader(screen).Run();
  // Reading past a short file's end is not a failure of the configuration.
  Flags.AbortFlag = false;
}

void ReadConfiguration(int screenWidth, int screenHeight) {
  ScreenMetrics screen;
  screen.Width = screenWidth;
  screen.Height = screenHeight;
  ReadConfiguration(screen);
}

void WriteConfiguration() {
  if (Flags.AbortFlag) return;
  // The file keeps the user's values of these two, but its numbers are written independent of them.
  const int decimals = Settings.Decimals;
  const int separatorMode = Settings.DecimalSeparatorMode;
  Settings.Decimals = 3;
  Settings.DecimalSeparatorMode = 1;
  const ProgramSettings copy = Settings;
  WriteReplacing(ConfigurationFileName(), [&] { WriteEntries(copy, decimals, separatorMode); });
  Settings.Decimals = decimals;
  Settings.DecimalSeparatorMode = separatorMode;
}

namespace {
// The folder as the file system knows it (device and inode), "" when it cannot be looked at.
std::string FolderKey(const std::string& folder) {
  struct stat st {};
  const std::string p = folder.empty() ? "." : folder;
  if (::stat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "";
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}
}  // namespace

namespace {
// The errno of a working file tried in folder (removed again), 0 when it could be made.
int FolderWriteError(const std::string& folder) {
  WorkFile probe;
  return probe.Create(AddBackslash(folder.empty() ? "." : folder) + "qern-probe") ? 0 : probe.Error();
}

// "In den Ordner <folder> kann nicht geschrieben werden (<reason>) !" for a folder that is there.
std::string FolderNotWritableText(const std::string& folder, int err) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(folder.empty() ? "." : folder, ec);
  const std::string shown = AddBackslash(ec ? folder : full.lexically_normal().string());
  const std::string reason = err == EACCES || err == EPERM
                                 ? "keine Schreibberechtigung"
                                 : FileErrorText(err, AddBackslash(shown) + "qern-probe");
  return "In den Ordner " + shown + " kann nicht geschrieben werden (" + reason + ") !";
}
}  // namespace

void CheckConfiguredFolders() {
  ProgramSettings& s = Settings;
  for (std::string* folder :
       {&s.TempFolder, &s.DbfFolder, &s.PltFolder, &s.EdiFolder, &s.DefaultDataFolder}) {
    if (IsBlank(*folder)) *folder = AddBackslash(s.StartFolder);
  }
  // The folders are most often one and the same: each is tried with one working file only. A
  // folder that is there but cannot be written is said once, whatever it serves as; a folder that
  // is not there is a wrong setting of the folder it serves as.
  struct Tried {
    std::string Key;
    bool Ok;
  };
  std::vector<Tried> tried;
  auto writable = [&tried](const std::string& folder, const char* wrongSetting) {
    const std::string key = FolderKey(folder);
    for (const Tried& t : tried)
      if (!key.empty() && t.Key == key) return t.Ok;
    const int err = FolderWriteError(folder);
    tried.push_back({key, err == 0});
    if (err != 0) ErrorMessage(key.empty() ? std::string(wrongSetting) : FolderNotWritableText(folder, err));
    return err == 0;
  };
  writable(s.CadFolder, "ungültiger CAD Ordner konfiguriert");
  if (!FolderFindable(s.DbfFolder)) ErrorMessage("ungültiger DBF Ordner konfiguriert");
  if (!FolderFindable(s.PltFolder)) ErrorMessage("ungültiger PLT Ordner konfiguriert");
  if (!writable(s.TempFolder, "ungültiger Ordner für temporäre Dateien konfiguriert")) {
    const bool abort = Flags.AbortFlag;
    InputString("Ordner für temporäre Dateien", 60, s.TempFolder);
    Flags.AbortFlag = abort;  // a cancel keeps the old folder and is no failure of the start
  }
  writable(s.EdiFolder, "ungültiger EDI Ordner konfiguriert");
  writable(s.DefaultDataFolder, "ungültiger Data Ordner konfiguriert");
}

void WriteSessionFile() {
  if (Session.RecentFiles[0].empty()) return;
  Flags.AbortFlag = false;
  // A session file made read-only pins the list (or is shared): it is kept, without a word at the
  // end of the run, when nothing can be done about it any more.
  if (IsReadOnlyFile(SessionFileName())) return;
  WriteReplacing(SessionFileName(), [] {
    WriteLine(Session.CurrentFileFolder + " Session " + Ident.ProgramName);
    for (const std::string& name : Session.RecentFiles) WriteLine(name);
  });
}

void ReadSessionFile() {
  DataFile.Assign(SessionFileName());
  if (!DataFile.Reset()) {
    for (std::string& name : Session.RecentFiles) name.clear();
    return;
  }
  std::string title;
  ReadLine(title);
  for (std::string& name : Session.RecentFiles) {
    name.clear();
    if (!DataFile.Eof()) ReadLine(name);
  }
  DataFile.Close();
}

}  // namespace qern
