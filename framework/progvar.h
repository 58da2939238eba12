// Shared program state: flags, error list, identity, session and settings.
// Every window, calculation and output reads and writes these process-wide records.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qern {

// Abort and print flags tested by every command after each step.
struct ProgramFlags {
  bool AbortFlag = false;          // Cancel/Esc, I/O error, missing file
  bool FatalError = false;         // set with every "Fatal  : " message of the calculation
  bool ErrorBoxesEnabled = true;   // error message boxes are shown only while set
  bool AskOverwrite = true;        // CheckOutputFileName asks before replacing a file
  bool PrintFrame = false;
  int PrintPreset = 0;
  bool StartedWithFile = false;
  bool ArchiveMode = false;
  bool DesignModified = false;
  bool BatchCadOutput = false;
};

// Distinct messages of the last calculation or drawing, at most 12.
constexpr int MaxErrors = 12;
struct ErrorListRecord {
  int ErrorCount = 0;
  std::array<std::string, MaxErrors> ErrorList;  // entries 0 .. ErrorCount-1
};

struct ProgramIdentity {
  std::string ProductName = "ZORQUAN";
  std::string ProgramName = "ZORQUAN";
  std::string Banner = "Z O R Q U A N    -    Software";
  std::string DataExtension = "EXT";
  std::string VersionText = "1.0";
};

constexpr int ChoiceTextCount = 135;
constexpr int RecentFileCount = 4;

// The current design file, the choice and wrap buffers and the recent files.
struct SessionState {
  std::string CurrentFileName = "demo";
  std::string CurrentFileFolder = "TRAIN";
  std::array<std::string, ChoiceTextCount> ChoiceTexts;  // items of choice dialogs, entry 0 = item 1
  std::vector<std::string> WrapLines;                    // output lines of WrapText
  std::array<std::string, 3> CommentLines;               // the design's free comment lines
  std::array<std::string, RecentFileCount> RecentFiles;  // newest first
  int HelpNumber = 0;                                    // help entry of the dialog being shown
};

// Settings kept in the configuration file, with their start values.
struct ProgramSettings {
  // Folders ("" = replaced by StartFolder at start-up) and helper programs.
  std::string StartFolder, ConfigFolder, DefaultDataFolder, PrintPresetFolder;
  std::string CadFolder, DbfFolder, EdiFolder, PltFolder, TempFolder, ExeFolder, ManualFolder;
  std::string TextProgram = "C:\\WINDOWS\\WRITE.EXE";
  std::string HtmlBrowser = "c:\\Programme\\Internet Explorer\\Iexplore.exe";
  std::string ExternalDatabase = "C:\\LORQENT\\LORQENT.EXE";

  // Screen and numeric settings.
  int ScreenWidth = 0, ScreenHeight = 0;
  int Decimals = 3;
  int HelpLevel = 1;
  int DrawingKind = 1;
  int PrinterPort = 1, HardcopyPort = 1;
  int PrinterType = 3;
  int PrintDensity = 1, PrintDensityVertical = 1;
  char HardcopyRotated = 'J';
  int SeparatorMode = 1;
  int LinesPerPage = 66;
  int GraphicDriver = 0, GraphicMode = 0;
  bool ColorGraphics = true;
  int PrintColorMode = 1;
  int DatabaseMode = 1;
  int DateFormat = 3;
  int HeaderSpaceLines = 0;
  int DefaultTextDevice = 1;
  bool AskTextDevice = false, SmallOnlineWindow = false, AskDiagramLimits = false;
  int FormScalePercent = 102;
  int FontScalePercent = 100;
  int DialogScalingMode = 0;
  int UnitSystem = 0;  // 0 metric, 1 inch
  int HeaderMode = 1;
  int HelpPictureLeft = 1, HelpPictureTop = 1;
  int IndexStyle = 0;
  int DecimalSeparatorMode = 1;  // 1 point, 2 comma (CAD text file)
  int ExcelDecimalMode = 2;
  int CadTextMode = 2;           // 2 ANSI
  int SpecialCharMode = 0;       // 0 special characters as characters, 1 spelled out
  int AngleFormat = 1;           // 1 decimal degrees
  int LanguageNumber = 0;
  int ResultGraphicKind = 0;
  bool UseCurrentFile = false, SaveMenuLanguage = false;
  int TitleBlockKind = 2;
  int DrawingMargin = 1;

  // CAD layers: pens 0..5 are the named layers, 16..31 the colour layers.
  std::array<std::string, 6> CadLayerNames = {"0", "1", "2", "3", "4", "5"};
  std::array<int, 6> CadLayerColors = {1, 2, 2, 2, 3, 1};
  std::array<int, 6> LayerLineWidths = {3, 1, 1, 1, 2, 3};
  // Colour layers 16..31: entry i belongs to layer ColorLayerFirst + i.
  static constexpr int ColorLayerFirst = 16;
  std::array<int, 16> ColorLayerColors = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  std::array<int, 16> ColorLayerLineWidths = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  bool LayerMonochrome = false;
  std::string CadTextStyle = "TXT8";
  long double CadTextWidthFactor = 1.0L;
  long double CadTextAngle = 0.0L;  // degrees
  int CadDecimals = 6;              // "Decimals DXF,TXT"
  long double DimensionSizeFactor = 1.0L;
  bool Cad3DTo2D = true;

  // Plot program command lines; entry 0 = line 1. The file keeps up to nine.
  static constexpr int GravuraLineCount = 9;
  std::array<std::string, GravuraLineCount> GravuraCommandLines = {
      "C:\\GRAVURA\\WGRAVURA GRAVURA.DXF /M1.0", "C:\\GRAVURA\\WGRAVURA GRAVURA.DXF /M1.0",
      "C:\\GRAVURA\\WGRAVURA GRAVURA.DXF /M1.0", "C:\\GRAVURA\\WGRAVURA GRAVURA.DXF /M1.0",
      "C:\\GRAVURA\\WGRAVURA GRAVURA.DXF /M1.0"};
  int GravuraCommandCount = 1;

  // Screen graphics (the graphics window's start-up leaves zoom 1.2 and pan 0.1).
  long double GraphicCorrectionFactor = 1.0L;
  long double ZoomFactor = 1.2L;
  long double PanFactor = 0.1L;
  int BackgroundColor = 1;  // colour value $00BBGGRR
  std::string GraphicFontName = "Arial";
  long double GraphicTextWidthFactor = 0.8L;
  long double GraphicTextHeightFactor = 1.0L;
  int GraphicFontStyle = 3;  // bit 0 bold, 1 italic, 2 underline, 3 strike-out
  // Colour values ($00BBGGRR) of colour numbers 0..16; 0..15 are configurable.
  std::array<int, 17> ColorPalette = {0x000000, 0x800000, 0x00FF00, 0xFFFF00, 0x0000FF, 0x800080,
                                      0x000080, 0xC0C0C0, 0xB0B0B0, 0xFF0000, 0x00FF00, 0xFFFF00,
                                      0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF, 0x000000};

  // Printing of the drawing and of listings.
  int ScreendumpOriginX = 0, ScreendumpOriginY = 0;
  double ScreendumpScale = 1.0, ScreendumpScaleY = 1.0;
  bool ScreendumpBorder = false;
  int PrintOrientation = 2;  // 1 portrait, 2 landscape
  bool GraphicPrintDialog = true;
  std::array<int, 4> TextWindowRect = {10, 40, 700, 440};  // left, top, width, height
  std::string PrintFontName = "Courier New";
  int PrintFontSize = 10;
  int PrintFontStyle = 3;  // bold 1, italic 2, underline 4, strike-out 8

  // 3-D view options; angles in radians (-15, 90 and 210 degrees).
  bool Edit3DAngles = true;
  std::array<long double, 3> Default3DAngles = {-0.2617993878L, 1.5707963268L, 3.6651914292L};

  // Drawing options: the Draw... flags up to DrawFrameZones/DrawMmScale suppress their item when set;
  // DrawChangeLog and the block-file flags are stored directly.
  std::string ReleaseFieldText;
  bool DrawMakerTitle = false, DrawFileName = false, DrawDate = false, DrawLogo = false;
  bool DrawFooter = false, DrawTitleBlock = false, DrawProtectionNote = false;
  bool DrawFrameZones = false, DrawMmScale = false;
  bool DrawChangeLog = false, UseHeadBlockFiles = false, UseInsertBlockFiles = false;

  // Reserved number of the configuration file, carried through unchanged.
  int ConfigReservedNumber = 0;

  friend bool operator==(const ProgramSettings&, const ProgramSettings&) = default;
};

// The five unit-system captions offered by the configuration window.
extern const std::array<std::string, 5> UnitSystemNames;

extern ProgramFlags Flags;
extern ErrorListRecord Errors;
extern ProgramIdentity Ident;
extern SessionState Session;
extern ProgramSettings Settings;

// Appends text unless it is already listed; beyond 12 texts it is dropped.
void AddError(std::string_view text);
// Count, FatalError and AbortFlag to 0; the texts stay until overwritten.
void ResetErrors();
// Count to 0 and all texts emptied; the flags are untouched.
void ClearErrorList();

// Puts every record back to its start values, taking the current folder as the start folder.
void InitProgramState();

}  // namespace qern
