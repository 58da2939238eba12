// Shared program state: flags, error list, identity, session and settings.
// Every window, calculation and output reads and writes these process-wide records.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qern {

// Abort and print flags tested by every command after each step.
struct ProgramFlags {
  bool AbortFlag = false;          // Cancel/Esc, I/O error, missing file
  bool FatalError = false;         // set with every "Fatal  : " message of the calculation
  bool ErrorBoxesEnabled = true;   // error message boxes are shown only while set
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
};

// The five unit-system captions offered by the configuration window.
extern const std::array<std::string, 5> UnitSystemNames;

extern ProgramFlags Flags;
extern ErrorListRecord Errors;
extern ProgramIdentity Ident;
extern SessionState Session;
extern ProgramSettings Settings;

// Appends text unless it is already listed; beyond 12 texts it is dropped.
void AddError(const std::string& text);
// Count, FatalError and AbortFlag to 0; the texts stay until overwritten.
void ResetErrors();
// Count to 0 and all texts emptied; the flags are untouched.
void ClearErrorList();

// Puts every record back to its start values, taking the current folder as the start folder.
void InitProgramState();

}  // namespace qern
