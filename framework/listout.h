// Listing output engine: every text listing (result listing, message listing, change log) is
// written through these row calls, which lay it out for the chosen device: the framed 70-column
// text layout, the tab-separated TXT layout or HTML.
//
// Use: SetListHeader, SetListColumns, OpenListOutput (stop when Flags.AbortFlag is set),
// DataFile.Rewrite() (RewriteChecked), ListPageHeader, rows ..., CloseListOutput, RestoreCursor;
// AbortListOutput in place of CloseListOutput when a cancel or a write error ends the listing.
// Texts are UTF-8; all positions count characters. The listing window and the Windows printer are
// reached through hooks that the Qt side installs; without them the engine runs headless.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace qern {

// Listing devices (ListDevice).
enum ListDeviceCode : int {
  DeviceWindow = 1,       // "Bildschirm": the text viewer
  DeviceTextPrinter = 2,  // "Textdrucker": raw text to the printer port
  DeviceFile = 3,         // "Datei": a text file chosen in a save dialog
  DevicePrinter = 4,      // "Windows-Drucker": printed with PrintTextFile
  DeviceTextProgram = 5,  // "externes Textprogramm"
  DeviceTxt = 6,          // "TXT Datei": tab-separated (also the spreadsheet export's feed)
  DeviceHtml = 7,         // "HTML Datei"
  DeviceOutDos = 8,       // "OUTDOS.TXT" in the temporary folder (not offered)
  DeviceBatchTxt = 9,     // the command line's tab-separated copy named after the design
  DeviceNames = 90        // OpenListOutput only fills ChoiceTexts with the seven offered names
};

// Column positions of the framed layout (1-based characters).
constexpr int ListLineWidth = 70;
constexpr int ColLabel = 1;
constexpr int ColSymbol = 35;
constexpr int ColUnit = 44;
constexpr int ColValue1 = 51;
constexpr int ColValue2 = 62;
constexpr int ColValue = 56;
// Framed lines are written behind this left margin.
inline constexpr const char* ListMargin = "       ";

// State of the engine; lives for the whole run.
struct ListState {
  int ListDevice = DeviceWindow;
  int ListLineCount = 0;   // lines on the current page (framed layout; HTML counts too)
  int ListPageCount = 0;   // page heads written since SetListHeader / OpenListOutput
  int ListPageTotal = 0;   // total pages announced by the caller; 0 = not given
  int ListHeadKind = 0;    // kind of the current page head; 1 = with column headings
  bool PauseEachPage = false;
  bool HtmlTableOpen = false;
  // Every listing file is written through a working file beside it that replaces this name when
  // CloseListOutput commits it (platform/workfile); the text printer's port is written directly.
  std::string ListFileName = "$out.tmp";
  std::string SavedDataExtension;
  std::string ListTitle;
  std::array<std::string, 4> ListTitleLines;
  std::array<std::string, 5> ListColumnTitles = {"", "Zeichen", "Einheit", "1", "2"};
  int TxtListingNumber = 0;  // running number of the TXT listings of this run

  // Text printer: device file of port n; empty = PrinterPortPath(n). When that device cannot be
  // written, the listing is spooled through TextPrinterSpool + file name.
  std::string TextPrinterPath;
  std::vector<std::string> TextPrinterSpool = {"lp", "-o", "raw"};
  std::string SpoolFileName;  // the spool file of the current text-printer listing ("" = direct)
  bool InHeader = false;      // a page head is being written: no page break inside it
};
extern ListState Listing;

// Puts the engine state back to its start values (tests).
void ResetListState();

// Date and time of the page heads; injectable so that listings can be compared in tests.
struct ListClockTime {
  int Year = 2000, Month = 1, Day = 1, Hour = 0, Minute = 0;
};
// nullptr (the default) takes the local time of the system.
void SetListClock(std::function<ListClockTime()> clock);

// Services of the windowing side, installed by the Qt program; headless runs leave them empty.
struct ListingHooks {
  // Shows the listing window over the converted copy "outwin.txt"; listFileName is what its
  // print command prints. Returns when the window is closed.
  std::function<void(const std::string& listFileName)> ShowListingWindow;
};
void SetListingHooks(const ListingHooks& hooks);

// Separator lines of the current SeparatorMode (70 characters; "$!$" = not printed).
std::string SeparatorLine();
std::string DoubleSeparatorLine();
std::string BoxTopLine();
std::string BoxMiddleLine();
std::string BoxBottomLine();
std::string BoxSideChar();
inline constexpr const char* NoSeparator = "$!$";

// Page and device control.
void SetListHeader(const std::string& title, const std::string& line1, const std::string& line2,
                   const std::string& line3, const std::string& line4, int pageTotal);
void SetListColumns(const std::string& h1, const std::string& h2, const std::string& h3,
                    const std::string& h4, const std::string& h5);
void OpenListOutput(int device, const std::string& fileName);
std::string TempOutputFileName();
void AskNextSheet();
void ListPageHeader(int page, int kind);
void ListPageBreak();
void ListCheckPageFull(int kind);
void ListNeedLines(int kind);
// A listing whose file cannot be completed (a write error, a failed rename) is reported with the
// file's name and the reason and leaves AbortFlag set; an earlier file of that name stays.
void CloseListOutput();
// The file the command line's listing writes: the design's base name + ".txt".
std::string BatchListingFileName();
// Ends a listing that a cancel or a write error stops after OpenListOutput succeeded, in place of
// CloseListOutput: DataFile is closed and its unfinished working file dropped (an earlier file of
// the name stays), the temporary file of the window, printer and text-program devices and the text
// printer's spool file removed (never a device), the design-file extension that the HTML device holds
// while a browser is configured put back; arrow cursor. AbortFlag stays set. A write error is
// reported with the file's name and the reason.
void AbortListOutput();

// Line writers.
void ListWriteLine(const std::string& s);
void ListWriteText(const std::string& s);
void ListLine(const std::string& s);
void ListTableRow(const std::string& s);
void ListWrappedRow(const std::string& s);
void ListValueLine(const std::string& label, const std::string& symbol, const std::string& unit,
                   const std::string& value);
void ListTwoValueLine(const std::string& label, const std::string& symbol, const std::string& unit,
                      const std::string& value1, const std::string& value2);
void ListColumnHeads();
void FormatNrLine(const std::string& label, const std::string& nr, std::string& s);
std::string FormatNrLine(const std::string& label, const std::string& nr);

// The message part of a listing and the View menu's message listing.
void ListMessageSection();
void ListMessages();
void ViewErrorMessages();

}  // namespace qern
