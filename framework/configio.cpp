// Reading and writing of the configuration and session files, the screen-size fallback and the
// start-up check of the configured folders.
#include "framework/configio.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"

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

// Reads the settings entry by entry; each test point ends reading when the file has ended.
class ConfigReader {
 public:
  explicit ConfigReader(const ScreenMetrics& screen) : screen_(screen) {}

  void Run() {
    ReadEntries();
    Finish();
  }

 private:
  const ScreenMetrics& screen_;
  bool languageRead_ = false;

  bool Ended() { return DataFile.Eof(); }

  std::string Str() {
    std::string s;
    ReadLine(s);
    return s;
  }
  int Int() {
    int n = 0;
    ReadIntegerLine(n);
    return n;
  }
  long double Real() {
    long double x = 0;
    ReadExtendedLine(x);
    return x;
  }
  bool BoolTrue(bool current) {
    ReadBoolTrue(current);
    return current;
  }
  void Skip() { Str(); }

  void Finish() {
    if (languageRead_ && !Settings.SaveMenuLanguage) Settings.LanguageNumber = 0;
    DefaultScreenSize(screen_);
  }

  void ReadEntries() {
    ProgramSettings& s = Settings;
    Skip();  // "Konfiguration qern"
    Skip();  // "Version 1.0"
    for (int i = 1; i <= 5; ++i) {
      Skip();
      s.CadLayerNames[i] = Str();
      Skip();
      s.CadLayerColors[i] = Int();
    }
    Skip();
    s.CadTextStyle = Str();
    Skip();
    s.CadTextWidthFactor = Real();
    if (s.CadTextWidthFactor == 0) s.CadTextWidthFactor = 1.0L;
    Skip();
    s.CadTextAngle = Real();
    Skip();
    s.CadFolder = Str();
    Skip();
    s.DbfFolder = Str();
    Skip();
    s.HelpLevel = Int();
    Skip();
    s.PrinterPort = Int();
    if (s.PrinterPort == 0) s.PrinterPort = 1;
    if (Ended()) return;
    Skip();
    s.PrinterType = Int();
    if (Ended()) return;
    Skip();
    s.PrintDensity = Int();
    Skip();
    {
      char c = 0;
      ReadCharLine(c);
      s.HardcopyRotated = c == 0 ? 'N' : c;
    }
    Skip();
    s.Decimals = Int();
    if (s.Decimals < 1 || s.Decimals > 9) s.Decimals = 3;
    Skip();
    s.PrintDensityVertical = Int();
    if (s.PrintDensityVertical == 0 || s.PrintDensityVertical > 4) s.PrintDensityVertical = 1;
    if (Ended()) return;
    Skip();
    s.ColorGraphics = BoolTrue(s.ColorGraphics);
    Skip();
    s.GraphicCorrectionFactor = Real();
    if (s.GraphicCorrectionFactor == 0) s.GraphicCorrectionFactor = 1.0L;
    Skip();
    s.GraphicMode = Int();
    Skip();
    s.GraphicDriver = Int();
    Skip();
    s.ScreenWidth = Int();
    Skip();
    s.ScreenHeight = Int();
    Skip();
    s.TempFolder = Str();
    Skip();
    s.HardcopyPort = Int();
    if (s.HardcopyPort == 0) s.HardcopyPort = 1;
    if (Ended()) return;
    Skip();
    s.EdiFolder = Str();
    Skip();
    s.PltFolder = Str();
    Skip();
    s.SeparatorMode = Int();
    if (s.SeparatorMode == 0) s.SeparatorMode = 1;
    Skip();
    s.LinesPerPage = Int();
    if (s.LinesPerPage < 5) s.LinesPerPage = 66;
    Skip();
    s.ZoomFactor = Real();
    if (s.ZoomFactor == 0) s.ZoomFactor = 1.02L;
    Skip();
    s.PanFactor = Real();
    if (s.PanFactor == 0) s.PanFactor = 0.01L;
    Skip();
    s.ExeFolder = Str();
    if (Ended()) return;
    Skip();
    {
      std::string line = Str();
      if (!line.empty()) s.GravuraCommandLines[0] = line;
    }
    if (Ended()) return;
    Skip();
    s.BackgroundColor = Int();
    if (Ended()) return;
    Skip();
    s.PrintColorMode = Int();
    if (s.PrintColorMode == 0) s.PrintColorMode = 1;
    if (Ended()) return;
    Skip();
    s.LayerMonochrome = BoolTrue(s.LayerMonochrome);
    if (Ended()) {
      s.GraphicTextWidthFactor = s.CadTextWidthFactor;
      s.GraphicFontName = "Arial";
      return;
    }
    Skip();
    s.GraphicTextWidthFactor = Real();
    if (s.GraphicTextWidthFactor == 0) s.GraphicTextWidthFactor = 0.8L;
    Skip();
    s.GraphicFontName = Str();
    for (int i = 0; i < 16; ++i) {
      if (Ended()) return;
      Skip();
      s.ColorLayerColors[i] = Int();
      if (s.ColorLayerColors[i] == 0) s.ColorLayerColors[i] = 1;
    }
    if (Ended()) return;
    Skip();
    s.TextProgram = Str();
    Skip();
    s.DatabaseMode = Int();
    Skip();
    s.ExternalDatabase = Str();
    if (Ended()) return;
    Skip();
    s.ScreendumpOriginX = Int();
    Skip();
    s.ScreendumpOriginY = Int();
    Skip();
    s.ScreendumpScale = static_cast<double>(Real());
    if (s.ScreendumpScale == 0) {
      s.ScreendumpScale = 1.0;
      s.ScreendumpScaleY = 1.0;
    }
    Skip();
    s.ScreendumpBorder = BoolTrue(s.ScreendumpBorder);
    if (Ended()) return;
    Skip();
    Skip();  // reserved
    Skip();
    Skip();  // reserved
    if (Ended()) return;
    Skip();
    {
      // A count above the nine lines kept still has its lines read, so the next entries stay in step.
      const int n = Int();
      for (int k = 2; k <= n; ++k) {
        std::string line = Str();
        if (k <= ProgramSettings::GravuraLineCount) s.GravuraCommandLines[k - 1] = line;
      }
      s.GravuraCommandCount = n < 0 ? 0 : (n > ProgramSettings::GravuraLineCount
                                               ? ProgramSettings::GravuraLineCount
                                               : n);
    }
    Skip();
    Flags.ArchiveMode = BoolTrue(Flags.ArchiveMode);
    if (!Ended()) {
      Skip();
      Skip();  // reserved
    }
    if (!Ended()) {
      Skip();
      s.DateFormat = Int();
    }
    if (s.DateFormat == 0) s.DateFormat = 3;
    if (!Ended()) {
      Skip();
      s.HeaderSpaceLines = Int();
    }
    if (s.HeaderSpaceLines >= 31 || s.HeaderSpaceLines < 0) s.HeaderSpaceLines = 0;
    if (!Ended()) {
      Skip();
      s.DefaultTextDevice = Int();
      Skip();
      s.AskTextDevice = BoolTrue(s.AskTextDevice);
    }
    if (s.DefaultTextDevice < 1 || s.DefaultTextDevice > 9) s.DefaultTextDevice = 1;
    if (!Ended()) {
      Skip();
      s.SmallOnlineWindow = BoolTrue(s.SmallOnlineWindow);
    }
    if (!Ended()) {
      Skip();
      s.AskDiagramLimits = BoolTrue(s.AskDiagramLimits);
    }
    // Entries 75, 76 and 79 are read without a test: an ended file gives their fallbacks.
    Skip();
    s.DecimalSeparatorMode = Int();
    if (s.DecimalSeparatorMode < 1 || s.DecimalSeparatorMode > 2) s.DecimalSeparatorMode = 1;
    Skip();
    s.DefaultDataFolder = Str();
    if (s.DefaultDataFolder.empty()) s.DefaultDataFolder = AddBackslash(s.StartFolder);
    Skip();
    if (!Ended()) s.GraphicTextHeightFactor = Real();
    if (s.GraphicTextHeightFactor < 0.1L) s.GraphicTextHeightFactor = 1.0L;
    Skip();
    if (!Ended()) s.FormScalePercent = Int();
    if (s.FormScalePercent < 10 || s.FormScalePercent > 1000) s.FormScalePercent = 100;
    Skip();
    s.HtmlBrowser = Str();
    if (Ended()) return;
    Skip();
    s.ScreendumpScaleY = static_cast<double>(Real());
    if (s.ScreendumpScaleY < 0.0001) s.ScreendumpScaleY = s.ScreendumpScale;

    // From here on the file has no test points of its own; a file that ends keeps the settings
    // not yet reached instead of reading empty lines into them.
    if (Ended()) return;
    Skip();
    for (int& w : s.LayerLineWidths) {
      w = Int();
      if (w < 1 || w > 255) w = 1;
    }
    if (Ended()) return;
    Skip();
    s.GraphicPrintDialog = BoolTrue(s.GraphicPrintDialog);
    if (Ended()) return;
    Skip();
    {
      std::string a, b, c, d;
      ReadFields(a, b, c, d);
      const int w = FieldInt(c), h = FieldInt(d);
      if (w != 0 && h != 0) {
        s.TextWindowRect = {FieldInt(a), FieldInt(b), w, h};
      }
    }
    if (Ended()) return;
    Skip();
    s.UnitSystem = Int();
    if (Ended()) return;
    Skip();
    s.HeaderMode = Int();
    if (s.HeaderMode < 1 || s.HeaderMode > 2) s.HeaderMode = 1;
    if (Ended()) return;
    Skip();
    s.PrintFontName = Str();
    if (s.PrintFontName.empty()) s.PrintFontName = "Courier New";
    if (Ended()) return;
    Skip();
    s.PrintFontSize = Int();
    if (s.PrintFontSize == 0) s.PrintFontSize = 10;
    if (Ended()) return;
    Skip();
    s.PrintFontStyle = Int();
    if (Ended()) return;
    Skip();
    s.GraphicFontStyle = Int();
    if (Ended()) return;
    Skip();
    s.PrintOrientation = Int();
    if (Ended()) return;
    Skip();
    ReadBoolNotFalse(s.Edit3DAngles);
    if (Ended()) return;
    Skip();
    for (long double& a : s.Default3DAngles) a = Real();
    if (Ended()) return;
    s.IndexStyle = Int();
    if (Ended()) return;
    s.ExcelDecimalMode = Int();
    if (s.ExcelDecimalMode == 0) s.ExcelDecimalMode = 2;
    if (Ended()) return;
    s.ReleaseFieldText = Str();
    if (Ended()) return;
    Skip();
    s.CadDecimals = Int();
    if (s.CadDecimals < 1 || s.CadDecimals > 32) s.CadDecimals = 6;
    if (Ended()) return;
    Skip();
    s.CadTextMode = Int();
    if (s.CadTextMode == 0) s.CadTextMode = 1;
    if (Ended()) return;
    Skip();
    for (int& w : s.ColorLayerLineWidths) w = Int();
    if (Ended()) return;
    s.SpecialCharMode = Int();
    if (Ended()) return;
    s.FontScalePercent = Int();
    if (s.FontScalePercent < 10 || s.FontScalePercent > 1000) s.FontScalePercent = 100;
    if (Ended()) return;
    s.AngleFormat = Int();
    if (s.AngleFormat == 0 || s.AngleFormat > 2) s.AngleFormat = 2;
    if (Ended()) return;
    s.DimensionSizeFactor = Real();
    if (s.DimensionSizeFactor == 0) s.DimensionSizeFactor = 1.0L;
    if (Ended()) return;
    s.ConfigReservedNumber = Int();
    if (Ended()) return;
    s.LanguageNumber = Int();
    languageRead_ = true;
    if (Ended()) return;
    s.ResultGraphicKind = Int();
    for (bool* b : {&s.DrawMakerTitle, &s.DrawFileName, &s.DrawDate, &s.DrawLogo, &s.DrawFooter,
                    &s.DrawTitleBlock, &s.UseCurrentFile, &s.SaveMenuLanguage}) {
      if (Ended()) return;
      *b = BoolTrue(*b);
    }
    if (Ended()) return;
    s.TitleBlockKind = Int();
    for (int i = 0; i < 16; ++i) {
      if (Ended()) return;
      const int c = Int();
      if (c > 0) s.ColorPalette[i] = c;
    }
    if (Ended()) return;
    s.Cad3DTo2D = !BoolTrue(!s.Cad3DTo2D);
    if (Ended()) return;
    s.DrawProtectionNote = BoolTrue(s.DrawProtectionNote);
    if (Ended()) return;
    s.ManualFolder = Str();
    if (s.ManualFolder.empty()) s.ManualFolder = s.ExeFolder;
    if (Ended()) return;
    s.DrawingMargin = Int();
    for (bool* b : {&s.DrawFrameZones, &s.DrawMmScale, &s.DrawChangeLog, &s.UseHeadBlockFiles,
                    &s.UseInsertBlockFiles}) {
      if (Ended()) return;
      *b = BoolTrue(*b);
    }
  }
};

// Writes the entries in file order; numbers do not depend on the display settings.
void WriteEntries(const ProgramSettings& s, int decimals, int separatorMode) {
  auto label = [](const std::string& text) { WriteLine(text); };
  auto shortReal = [](long double x) { WriteLine(FloatStr(x)); };
  label("Konfiguration " + Ident.ProgramName);
  label("Version " + Ident.VersionText);
  for (int i = 1; i <= 5; ++i) {
    label("Layer");
    WriteLine(s.CadLayerNames[i]);
    label("Farbe");
    WriteIntegerLine(s.CadLayerColors[i]);
  }
  label("Textstil CAD");
  WriteLine(s.CadTextStyle);
  label("Textbreitenfaktor CAD");
  shortReal(s.CadTextWidthFactor);
  label("Textwinkel");
  shortReal(s.CadTextAngle);
  label("CAD Ordner");
  WriteLine(s.CadFolder);
  label("DBF Ordner");
  WriteLine(s.DbfFolder);
  label("Hilfegrad");
  WriteIntegerLine(s.HelpLevel);
  label("Druckerschnittstelle");
  WriteIntegerLine(s.PrinterPort);
  label("Druckertyp");
  WriteIntegerLine(s.PrinterType);
  label("Druckdichte");
  WriteIntegerLine(s.PrintDensity);
  label("Hardcopy um 90° gedreht ?");
  WriteLine(std::string(1, s.HardcopyRotated));
  label("Dezimalstellen");
  WriteIntegerLine(decimals);
  label("Druckdicke vertikal");
  WriteIntegerLine(s.PrintDensityVertical);
  label("Farbgrafik");
  WriteBoolLine(s.ColorGraphics);
  label("GrafikKorrekturFaktor horizontal");
  shortReal(s.GraphicCorrectionFactor);
  label("Grafik-Mode");
  WriteIntegerLine(s.GraphicMode);
  label("Grafik-Treiber");
  WriteIntegerLine(s.GraphicDriver);
  label("Auflösung horizontal");
  WriteIntegerLine(s.ScreenWidth);
  label("Auflösung vertikal");
  WriteIntegerLine(s.ScreenHeight);
  label("Ordner für temporäre Dateien");
  WriteLine(s.TempFolder);
  label("Druckerschnittstelle Hardcopy");
  WriteIntegerLine(s.HardcopyPort);
  label("EDI Ordner");
  WriteLine(s.EdiFolder);
  label("PLT Ordner");
  WriteLine(s.PltFolder);
  label("Mode für Textausdruck 1:* 2:-");
  WriteIntegerLine(s.SeparatorMode);
  label("Zeilen pro Seite für Drucker");
  WriteIntegerLine(s.LinesPerPage);
  label("Zoomfaktor");
  WriteExtendedLine(s.ZoomFactor);
  label("Pan-Faktor");
  WriteExtendedLine(s.PanFactor);
  label("ZORQUAN-Programmverzeichnis");
  WriteLine(s.ExeFolder);
  label("GRAVURA-Kommandozeile");
  WriteLine(s.GravuraCommandLines[0]);
  label("Hintergrundfarbe");
  WriteIntegerLine(s.BackgroundColor);
  label("Windows-Druckmodus (1=mono 2=color)");
  WriteIntegerLine(s.PrintColorMode);
  label("Layer Monochrom");
  WriteBoolLine(s.LayerMonochrome);
  label("Textbreitenfaktor Grafik");
  WriteExtendedLine(s.GraphicTextWidthFactor);
  label("Textstil Grafik");
  WriteLine(s.GraphicFontName);
  for (int i = 0; i < 16; ++i) {
    label("Color Layer " + std::to_string(ProgramSettings::ColorLayerFirst + i));
    WriteIntegerLine(s.ColorLayerColors[i]);
  }
  label("Textprogramm");
  WriteLine(s.TextProgram);
  label("Datenbank mode");
  WriteIntegerLine(s.DatabaseMode);
  label("externe Datenbank");
  WriteLine(s.ExternalDatabase);
  label("Windows Screendump Origin X");
  WriteIntegerLine(s.ScreendumpOriginX);
  label("Windows Screendump Origin Y");
  WriteIntegerLine(s.ScreendumpOriginY);
  label("Windows Screendump Scale");
  WriteExtendedLine(s.ScreendumpScale);
  label("Windows Screendump Border ?");
  WriteBoolLine(s.ScreendumpBorder);
  label(ReservedLabel);
  WriteBoolLine(false);
  label(ReservedLabel);
  WriteBoolLine(false);
  label("GRAVURA Command lines (n, line 2 .. line n)");
  WriteIntegerLine(s.GravuraCommandCount);
  for (int k = 2; k <= s.GravuraCommandCount && k <= ProgramSettings::GravuraLineCount; ++k)
    WriteLine(s.GravuraCommandLines[k - 1]);
  label("Archive Flag ?");
  WriteBoolLine(Flags.ArchiveMode);
  label(ReservedLabel);
  WriteBoolLine(false);
  label("Date Code");
  WriteIntegerLine(s.DateFormat);
  label("Header Space Lines");
  WriteIntegerLine(s.HeaderSpaceLines);
  label("Text Device");
  WriteIntegerLine(s.DefaultTextDevice);
  label("Text Device Window ?");
  WriteBoolLine(s.AskTextDevice);
  label("Small Online Window ?");
  WriteBoolLine(s.SmallOnlineWindow);
  label("Enter Diagram Limits ?");
  WriteBoolLine(s.AskDiagramLimits);
  label("Dot=1 Komma=2");
  WriteIntegerLine(separatorMode);
  label("Default Data Directory");
  WriteLine(s.DefaultDataFolder);
  label("Text Height Factor");
  WriteExtendedLine(s.GraphicTextHeightFactor);
  label("Input Window Scale %");
  WriteIntegerLine(s.FormScalePercent);
  label("HTML Browser");
  WriteLine(s.HtmlBrowser);
  label("Print Scale Vertical");
  WriteExtendedLine(s.ScreendumpScaleY);
  label("Line thickness Layer 0..5");
  for (int w : s.LayerLineWidths) WriteIntegerLine(w);
  label("Graphic Printout Dialog Box ?");
  WriteBoolLine(s.GraphicPrintDialog);
  label("Text window left/top/width/height");
  WriteFields4(std::to_string(s.TextWindowRect[0]), std::to_string(s.TextWindowRect[1]),
               std::to_string(s.TextWindowRect[2]), std::to_string(s.TextWindowRect[3]));
  label("Metric Units=0,  English units=1");
  WriteIntegerLine(s.UnitSystem);
  label("printout with header=1, header page 1 only=2");
  WriteIntegerLine(s.HeaderMode);
  label("Text Font Printout");
  WriteLine(s.PrintFontName);
  label("Text Size Printout");
  WriteIntegerLine(s.PrintFontSize);
  label("Text Style Printout");
  WriteIntegerLine(s.PrintFontStyle);
  label("Text Style Graphics");
  WriteIntegerLine(s.GraphicFontStyle);
  label("Printer: Portrait=1, Landscape=2");
  WriteIntegerLine(s.PrintOrientation);
  label("Edit 3D x,y,z ?");
  WriteBoolLine(s.Edit3DAngles);
  label("3D - Default x,y,z");
  for (long double a : s.Default3DAngles) WriteExtendedLine(a);
  WriteIntegerLine(s.IndexStyle);
  WriteIntegerLine(s.ExcelDecimalMode);
  WriteLine(s.ReleaseFieldText);
  label("Decimals DXF,TXT");
  WriteIntegerLine(s.CadDecimals);
  label("CAD Text Mode");
  WriteIntegerLine(s.CadTextMode);
  label("Strichstärke Layer 16..31");
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
  WriteBoolLine(!s.Cad3DTo2D);
  WriteBoolLine(s.DrawProtectionNote);
  WriteLine(s.ManualFolder);
  WriteIntegerLine(s.DrawingMargin);
  for (bool b : {s.DrawFrameZones, s.DrawMmScale, s.DrawChangeLog, s.UseHeadBlockFiles,
                 s.UseInsertBlockFiles})
    WriteBoolLine(b);
}

// Writes a file through DataFile into a temporary file beside name, which then replaces name; a
// failed write leaves name as it was. Returns false (with AbortFlag set) on failure.
template <typename Body>
bool WriteReplacing(const std::string& name, Body body) {
  const std::string temp = name + ".tmp";
  DataFile.Assign(temp);
  RewriteWithRetry(DataFile);
  if (Flags.AbortFlag) return false;
  body();
  const bool written = !Flags.AbortFlag;
  const int io = DataFile.IoResult();
  const bool closed = DataFile.Close();
  if (!written || !closed || std::rename(temp.c_str(), name.c_str()) != 0) {
    std::remove(temp.c_str());
    Flags.AbortFlag = true;
    ErrorMessage(WriteErrorText(io != IoOk ? io : DataFile.IoResult()));
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
    if (IsUnsetScreenSize(Settings.ScreenWidth)) Settings.ScreenWidth = screen.Width - 9;
    if (IsUnsetScreenSize(Settings.ScreenHeight)) Settings.ScreenHeight = screen.Height - 91;
    Settings.TextWindowRect[3] = screen.Height - 80;
    double frame = 1.0;  // outer height over client height plus menu and caption
    if (screen.WindowHeight > 0 && screen.ClientHeight > 0)
      frame = static_cast<double>(screen.WindowHeight) / (screen.ClientHeight + 46);
    Settings.FormScalePercent =
        static_cast<int>(std::lround(screen.LogPixelsY / 96.0 * (frame + 0.009) * 100.0));
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

void CheckConfiguredFolders() {
  ProgramSettings& s = Settings;
  for (std::string* folder :
       {&s.TempFolder, &s.DbfFolder, &s.PltFolder, &s.EdiFolder, &s.DefaultDataFolder}) {
    if (IsBlank(*folder)) *folder = AddBackslash(s.StartFolder);
  }
  if (!IsFolderWritable(s.CadFolder)) ErrorMessage("ungültiger CAD Ordner konfiguriert");
  if (!FolderFindable(s.DbfFolder)) ErrorMessage("ungültiger DBF Ordner konfiguriert");
  if (!FolderFindable(s.PltFolder)) ErrorMessage("ungültiger PLT Ordner konfiguriert");
  if (!IsFolderWritable(s.TempFolder)) {
    ErrorMessage("ungültiger Ordner für temporäre Dateien konfiguriert");
    const bool abort = Flags.AbortFlag;
    InputString("Ordner für temporäre Dateien", 60, s.TempFolder);
    Flags.AbortFlag = abort;  // a cancel keeps the old folder and is no failure of the start
  }
  if (!IsFolderWritable(s.EdiFolder)) ErrorMessage("ungültiger EDI Ordner konfiguriert");
  if (!IsFolderWritable(s.DefaultDataFolder)) ErrorMessage("ungültiger Data Ordner konfiguriert");
}

void WriteSessionFile() {
  if (Session.RecentFiles[0].empty()) return;
  Flags.AbortFlag = false;
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
