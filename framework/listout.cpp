// Listing output engine: device choice and preparation, page heads and paging, the row writers
// of the three layouts, the message section and the hand-over of a finished listing.
#include "framework/listout.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/textprint.h"
#include "framework/uhelperr.h"
#include "framework/utf8.h"
#include "framework/utilstr.h"
#include "platform/codepage.h"
#include "platform/desktop.h"
#include "platform/printerport.h"
#include "platform/process.h"
#include "platform/workfile.h"

namespace qern {

ListState Listing;

namespace {

const char Tab = '\t';
const std::string FormFeed = "\f";

std::function<ListClockTime()> clockHook;
ListingHooks hooks;

ListClockTime ListNow() {
  if (clockHook) return clockHook();
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min};
}

std::string ListDateStr() {
  const ListClockTime now = ListNow();
  return DateStr(now.Year, now.Month, now.Day);
}

// The hour without a leading zero, ":", the minutes in two digits ("9:05").
std::string ListTimeStr() {
  const ListClockTime now = ListNow();
  return IntStr(now.Hour) + ":" + IntStrZero(now.Minute, 2);
}

// &, < and > as HTML entities.
std::string HtmlEscape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

bool IsTxtDevice() { return Listing.ListDevice == DeviceTxt || Listing.ListDevice == DeviceBatchTxt; }
bool IsHtmlDevice() { return Listing.ListDevice == DeviceHtml; }
bool IsFramedDevice() { return !IsTxtDevice() && !IsHtmlDevice(); }

std::string Blanks(int n) { return std::string(static_cast<size_t>(n), ' '); }

// A run of n copies of the one character ch (UTF-8).
std::string Repeat(const std::string& ch, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += ch;
  return s;
}

// Writes t at position pos of line, extending the line with blanks when t reaches past its end.
void PutExtending(const std::string& t, std::string& line, int pos) {
  const int need = pos - 1 + Utf8Length(t);
  if (need > Utf8Length(line)) line = Utf8PadRight(line, need);
  OverwriteStr(t, line, pos);
}

// A box line with the side characters at 1 and 70 and text at 4, cut so that it never vanishes.
std::string BoxTextLine(const std::string& text) {
  std::string line = Blanks(ListLineWidth);
  OverwriteStr(BoxSideChar(), line, 1);
  OverwriteStr(BoxSideChar(), line, ListLineWidth);
  OverwriteStr(Utf8Cut(text, ListLineWidth - 3), line, 4);
  return line;
}

void OpenHtmlTable() {
  ListWriteLine("<TABLE BORDER = \"2\" WIDTH= \"100%\">");
  Listing.HtmlTableOpen = true;
}

void CloseHtmlTable() {
  if (!Listing.HtmlTableOpen) return;
  ListWriteLine("</TABLE>");
  Listing.HtmlTableOpen = false;
}

bool IsSeparatorText(const std::string& s) {
  return s == SeparatorLine() || s == DoubleSeparatorLine() || s == NoSeparator;
}

// ListLine without HTML escaping: the engine's own HTML heads pass markup through it.
void ListLineRaw(const std::string& s) {
  if (IsTxtDevice()) {
    if (!IsSeparatorText(s)) ListWriteLine(s);
    return;
  }
  if (IsHtmlDevice()) {
    CloseHtmlTable();
    ++Listing.ListLineCount;
    if (!IsSeparatorText(s)) ListWriteLine("<br>" + s);
    return;
  }
  if (s == NoSeparator) return;
  ++Listing.ListLineCount;
  ListCheckPageFull(Listing.ListHeadKind);
  ListWriteLine(ListMargin + s);
}

// The design file shown in line 3 of the page head.
std::string HeadFileName() {
  const std::string ext = "." + Ident.DataExtension;
  const std::string shortName = Session.CurrentFileName + ext;
  if (Utf8Length(Session.CurrentFileFolder + Session.CurrentFileName) > 69) return shortName;
  const std::string full = AnsiStrToOem(AddBackslash(Session.CurrentFileFolder) + Session.CurrentFileName) + ext;
  // A full name that would not fit into the box falls back to the short name.
  if (Utf8Length(full) > ListLineWidth - 3) return shortName;
  return full;
}

// What a save dialog of the engine may change of the current design: the listing's file must
// never become the design's name or folder, or a later Save would write the design there.
struct DesignNameState {
  std::string Extension = Ident.DataExtension;
  std::string Name = Session.CurrentFileName;
  std::string Folder = Session.CurrentFileFolder;
  bool StartedWithFile = Flags.StartedWithFile;

  void Restore() const {
    Ident.DataExtension = Extension;
    Session.CurrentFileName = Name;
    Session.CurrentFileFolder = Folder;
    Flags.StartedWithFile = StartedWithFile;
  }
};

// Whether the listing's own file is the one output of the listing that is waited for on the disk;
// else its copy is. A listing is written to the disk with one sync: scratch files that the program
// reads back or erases are not waited for.
bool listFileSynced = true;

// DataFile for the listing's file: written through a working file that replaces the name when
// CloseListOutput commits it; sync: its commit waits for the disk.
void AssignListFile(bool sync) {
  DataFile.Assign(Listing.ListFileName);
  DataFile.SetReplacing(true);
  DataFile.SetSync(sync);
  listFileSynced = sync;
}

// Creates the file, as the devices that write a temporary file do; DataFile stays assigned to it.
void CreateListFile() {
  AssignListFile(false);
  RewriteChecked(DataFile);
  if (!Flags.AbortFlag && !DataFile.Commit()) {
    ReportWriteError(Listing.ListFileName, DataFile.IoResult());
    Flags.AbortFlag = true;
  }
}

std::string TextPrinterDevicePath() {
  if (!Listing.TextPrinterPath.empty()) return Listing.TextPrinterPath;
  return PrinterPortPath(Settings.PrinterPort);
}

// Copies a whole file, unchanged, to the end of the open file f.
void AppendFileTo(const std::string& source, std::FILE* f) {
  std::FILE* in = std::fopen(source.c_str(), "rb");
  if (!in) return;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) std::fwrite(buf, 1, n, f);
  std::fclose(in);
}

// A whole file's bytes; "" when it cannot be read.
std::string ReadFileBytes(const std::string& name) {
  std::string bytes;
  std::FILE* in = std::fopen(name.c_str(), "rb");
  if (!in) return bytes;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) bytes.append(buf, n);
  std::fclose(in);
  return bytes;
}

// The text printer: the port's device file when it can be written, else a spool file that
// CloseListOutput hands to the spooler. "TEXT.HXP" of the current folder goes out first.
void PrepareTextPrinter() {
  const std::string device = TextPrinterDevicePath();
  Listing.SpoolFileName.clear();
  if (access(device.c_str(), W_OK) == 0) {
    Listing.ListFileName = device;
    if (FileCanOpen("TEXT.HXP")) {
      if (std::FILE* f = std::fopen(device.c_str(), "ab")) {
        AppendFileTo("TEXT.HXP", f);
        std::fclose(f);
      }
    }
  } else {
    Listing.ListFileName = AddBackslash(Settings.TempFolder) + "$LPT" + IntStr(Settings.PrinterPort) + ".TMP";
    Listing.SpoolFileName = Listing.ListFileName;
  }
  DataFile.Assign(Listing.ListFileName);
  // A spool file is a scratch file of ours; the port's device is written as it is.
  if (!Listing.SpoolFileName.empty()) {
    DataFile.SetReplacing(true);
    DataFile.SetSync(false);
  }
}

// Hands the spool file (behind "TEXT.HXP" when that exists) to the spooler, then erases it.
void SpoolTextPrinter() {
  std::string job = Listing.SpoolFileName;
  if (FileCanOpen("TEXT.HXP")) {
    job = AddBackslash(Settings.TempFolder) + "$LPTJOB" + IntStr(Settings.PrinterPort) + ".TMP";
    ReplaceFileContents(job, ReadFileBytes("TEXT.HXP") + ReadFileBytes(Listing.SpoolFileName), nullptr,
                        false);
  }
  std::vector<std::string> argv = Listing.TextPrinterSpool;
  argv.push_back(job);
  int code = 0;
  const StartResult r = RunAndWait(argv, code);
  if (r != StartResult::Started || code != 0) {
    ErrorMessage(TextPrinterDevicePath() + " / " + (argv.empty() ? std::string() : argv[0]) + ": " +
                 "Ausgabe auf Textdrucker fehlgeschlagen");
    Flags.AbortFlag = true;
  }
  if (job != Listing.SpoolFileName) std::remove(job.c_str());
  std::remove(Listing.SpoolFileName.c_str());
  Listing.SpoolFileName.clear();
}

// Opens the listing's file with the text program or browser of the settings; a Windows program
// missing here leaves it to the desktop. Says so when nothing opens it.
void OpenWithConfiguredProgram(const std::string& program, const std::string& file) {
  if (OpenWithProgram(program, file) != OpenedWith::Nothing) return;
  std::string text = program + " not found";
  if (NamesWindowsProgram(program)) text += ", and no program of the desktop opens " + file;
  ErrorMessage(text);
}

// Removes name when it is a plain file (a printer port or other device is never touched).
void RemovePlainFile(const std::string& name) {
  std::error_code ec;
  if (!name.empty() && std::filesystem::is_regular_file(name, ec)) std::filesystem::remove(name, ec);
}

void ReportListWriteError(const std::string& name, int io) { ReportWriteError(name, io); }

// The converted copy of the listing's file; a copy that cannot be written is reported with its
// name and the reason. False then (AbortFlag set).
bool CopyListFile(const std::string& dest) {
  const int io = ConvertTextFile(Listing.ListFileName, dest, !listFileSynced);
  if (io == IoOk) return true;
  ReportListWriteError(dest, io);
  Flags.AbortFlag = true;
  return false;
}

// Closes the listing's file; a file written through a working file then replaces its name.
// Returns 0, or the I/O code of the failure (the working file is then dropped).
int FinishListFile() {
  const bool open = DataFile.IsOpen() && DataFile.Name() == Listing.ListFileName;
  const int io = open ? DataFile.WriteError() : IoOk;
  if (io != IoOk) {
    DataFile.Close();
    return io;
  }
  if (!DataFile.Commit() && open) return DataFile.IoResult();
  return IoOk;
}

}  // namespace

std::string BatchListingFileName() { return Session.CurrentFileName + ".txt"; }

void ResetListState() {
  Listing = ListState{};
  clockHook = nullptr;
}

void SetListClock(std::function<ListClockTime()> clock) { clockHook = std::move(clock); }

void SetListingHooks(const ListingHooks& h) { hooks = h; }

// ---- Separator lines -----------------------------------------------------------------------

std::string SeparatorLine() {
  switch (Settings.SeparatorMode) {
    case 1: return Repeat("-", ListLineWidth);
    case 2: return Repeat("─", ListLineWidth);
    case 3: return Blanks(ListLineWidth);
    default: return NoSeparator;
  }
}

std::string DoubleSeparatorLine() {
  switch (Settings.SeparatorMode) {
    case 1: return Repeat("=", ListLineWidth);
    case 2: return Repeat("═", ListLineWidth);
    case 3: return Blanks(ListLineWidth);
    default: return NoSeparator;
  }
}

namespace {
std::string BoxLine(const char* left, const char* right) {
  switch (Settings.SeparatorMode) {
    case 1: return Repeat("*", ListLineWidth);
    case 2: return left + Repeat("═", ListLineWidth - 2) + right;
    case 3: return Blanks(ListLineWidth);
    default: return NoSeparator;
  }
}
}  // namespace

std::string BoxTopLine() { return BoxLine("╔", "╗"); }
std::string BoxMiddleLine() { return BoxLine("╠", "╣"); }
std::string BoxBottomLine() { return BoxLine("╚", "╝"); }

std::string BoxSideChar() {
  switch (Settings.SeparatorMode) {
    case 1: return "*";
    case 2: return "║";
    default: return " ";
  }
}

// ---- Page and device control ---------------------------------------------------------------

void SetListHeader(const std::string& title, const std::string& line1, const std::string& line2,
                   const std::string& line3, const std::string& line4, int pageTotal) {
  Listing.ListPageCount = 0;
  Listing.ListLineCount = 0;
  Listing.ListTitle = title.empty() ? Ident.Banner + "  V" + Ident.VersionText : title;
  Listing.ListTitleLines = {line1, line2, line3, line4};
  Listing.ListPageTotal = pageTotal;
}

void SetListColumns(const std::string& h1, const std::string& h2, const std::string& h3,
                    const std::string& h4, const std::string& h5) {
  Listing.ListColumnTitles = {h1, h2, h3, h4, h5};
}

namespace {
// TempOutputFileName; true when the name it took was made (and so needs no second creation).
bool TakeTempOutputFile() {
  const std::string folder = AddBackslash(Settings.TempFolder);
  std::string name;
  for (int n = 1; n <= 10; ++n) {
    name = folder + "$OUT" + IntStr(n) + ".TMP";
    // The same few names serve every run; each is made new through a working file, so a name that
    // another user holds (or planted a link under) is passed over, never written through. A
    // scratch file: not waited for on the disk.
    if (ReplaceFileContents(name, "", nullptr, false)) {
      Listing.ListFileName = name;
      return true;
    }
  }
  Listing.ListFileName = folder + "$OUT11.TMP";
  return false;
}
}  // namespace

std::string TempOutputFileName() {
  TakeTempOutputFile();
  return Listing.ListFileName;
}

void OpenListOutput(int device, const std::string& /*fileName*/) {
  // The caller's file name is not used: every device takes its name from its own rule.
  static const char* const names[7] = {"Bildschirm",         "Textdrucker", "Datei",
                                       "Windows-Drucker",    "externes Textprogramm",
                                       "TXT Datei",          "HTML Datei"};
  for (int i = 0; i < 7; ++i) Session.ChoiceTexts[i] = names[i];
  if (device == DeviceNames) return;

  Listing.ListDevice = Settings.DefaultTextDevice;
  SetHelpContext(1050);
  if (device == 0) {
    if (Settings.AskTextDevice) {
      int choice = Listing.ListDevice;
      SelectChoice("Ausgabe auf ..", 7, choice);
      if (Flags.AbortFlag) return;
      Listing.ListDevice = choice;
    }
  } else {
    Listing.ListDevice = device;
  }
  // A device number from a damaged configuration would leave DataFile pointing at whatever file
  // it named last; the listing window is taken instead.
  if (Listing.ListDevice < 1 || Listing.ListDevice > 9) Listing.ListDevice = DeviceWindow;

  // Only the text printer pauses: a pause chosen for it must not ask again on a later file listing.
  Listing.PauseEachPage = false;
  const DesignNameState saved;
  const std::string& savedExt = saved.Extension;
  // The save dialog of the file devices; extension, design name and folder are put back whatever
  // the answer.
  auto chooseFile = [&](const char* ext) {
    Ident.DataExtension = ext;
    std::string chosen;
    SaveAsDialog("", chosen);
    saved.Restore();
    if (!Flags.AbortFlag) Listing.ListFileName = chosen;
    return !Flags.AbortFlag;
  };
  switch (Listing.ListDevice) {
    case DeviceWindow:
    case DevicePrinter:
    case DeviceTextProgram:
      // Made already unless every name was taken; then made (or reported) here.
      if (TakeTempOutputFile())
        AssignListFile(false);
      else
        CreateListFile();
      break;
    case DeviceTextPrinter: {
      SetHelpContext(1060);
      const bool pause = Confirm("Pause nach jeder Seite ?");
      if (Flags.AbortFlag) return;
      Listing.PauseEachPage = pause;
      PrepareTextPrinter();
      break;
    }
    case DeviceFile:
    case DeviceTxt:
    case DeviceBatchTxt:
      SetHelpContext(1070);
      Listing.SavedDataExtension = savedExt;
      if (Listing.ListDevice == DeviceFile || Settings.AskTextDevice) {
        if (!chooseFile("txt")) return;
        CheckOutputFileName(Listing.ListFileName);
        if (Flags.AbortFlag) return;
        AssignListFile(true);
      } else if (Listing.ListDevice == DeviceBatchTxt) {
        // The command line's listing goes straight to its file, converted as it is written: one
        // file written once.
        Listing.ListFileName = BatchListingFileName();
        AssignListFile(true);
      } else {
        Listing.ListFileName =
            AddBackslash(Settings.TempFolder) + "$$$" + IntStr(Listing.TxtListingNumber + 1) + ".txt";
        AssignListFile(false);
      }
      break;
    case DeviceHtml:
      SetHelpContext(1070);
      Listing.SavedDataExtension = savedExt;
      if (Settings.HtmlBrowser.empty()) {
        if (!chooseFile("htm")) return;
      } else {
        // The extension stays "htm" until CloseListOutput puts it back.
        Ident.DataExtension = "htm";
        Listing.ListFileName = AddBackslash(Settings.TempFolder) + Ident.ProgramName + ".htm";
      }
      CheckOutputFileName(Listing.ListFileName);
      if (Flags.AbortFlag) {
        saved.Restore();
        return;
      }
      AssignListFile(true);
      break;
    case DeviceOutDos:
      Listing.ListFileName = AddBackslash(Settings.TempFolder) + "OUTDOS.TXT";
      CreateListFile();
      break;
  }
  if (Flags.AbortFlag) return;
  Listing.HtmlTableOpen = false;
  Listing.ListLineCount = 0;
  Listing.ListPageCount = 0;
}

void AskNextSheet() {
  if (!Listing.PauseEachPage) return;
  if (!ConfirmBox("Blatt in Drucker einlegen.  Fortfahren ?")) Flags.AbortFlag = true;
}

void ListPageHeader(int page, int kind) {
  AskNextSheet();
  if (Flags.AbortFlag) return;
  const bool notFirst = page != 1 && (page != 0 || Listing.ListPageCount != 0);

  if (IsTxtDevice()) {
    if (notFirst) return;
    ListLine(Ident.Banner + " V" + Ident.VersionText + Tab + ListDateStr() + Tab + ListTimeStr());
    // The file the user gets; the command line's listing is copied from a working file.
    ListLine(WithoutBlanks(Listing.ListDevice == DeviceBatchTxt ? BatchListingFileName()
                                                                : Listing.ListFileName));
    for (const auto& c : Session.CommentLines) ListLine(c);
    ListLine(" ");
    ++Listing.ListPageCount;
    return;
  }
  if (IsHtmlDevice()) {
    if (notFirst) return;
    const std::string title = HtmlEscape(Ident.Banner + " V" + Ident.VersionText);
    ListWriteLine("<!-- " + WithoutBlanks(Listing.ListFileName) + " -->");
    ListWriteLine("<HTML>");
    // The file is UTF-8 like every listing file; the browser is told so.
    ListWriteLine("<head><meta charset=\"utf-8\"><title>" + title + "</title></head>");
    ListWriteLine("<BODY BGCOLOR=\"C0C0C0\">");
    ListWriteLine("<hr>");
    ListLineRaw("<h4>" + title + "</h4>");
    ListWriteLine("<hr>");
    for (const auto& t : Listing.ListTitleLines) ListWriteLine("<h5>" + HtmlEscape(t) + "</h5>");
    ListWriteLine("<hr>");
    ++Listing.ListPageCount;
    return;
  }

  if (Settings.HeaderMode == 2 && notFirst) {
    ListWriteLine(" ");
    return;
  }
  if (Settings.SeparatorMode == 4 && notFirst && Listing.ListLineCount < Settings.LinesPerPage / 2) return;
  Listing.ListLineCount = 0;
  Listing.ListHeadKind = kind;
  ++Listing.ListPageCount;
  const int shownPage = page == 0 ? Listing.ListPageCount : page;

  // Lines of the head never start a new page themselves, however small a page is.
  Listing.InHeader = true;
  if (Settings.SeparatorMode == 4) ListLine("");
  for (int i = 0; i < Settings.HeaderSpaceLines; ++i) ListLine("");
  ListLine(BoxTopLine());
  if (Flags.AbortFlag) {
    Listing.InHeader = false;
    return;
  }
  const std::string side = BoxSideChar();
  std::string line = Blanks(ListLineWidth);
  OverwriteStr(side, line, 1);
  OverwriteStr(Utf8Cut(Listing.ListTitle, ListLineWidth - 3), line, 4);
  if (Settings.HeaderMode != 2) {
    if (Listing.ListPageTotal > 0)
      OverwriteStr("Bl." + IntStrBlank(shownPage, 2) + "/" + IntStrBlank(Listing.ListPageTotal, 2), line, 60);
    else
      OverwriteStr("Bl." + IntStrBlank(shownPage, 2), line, 64);
  }
  OverwriteStr(side, line, ListLineWidth);
  ListLine(line);

  line = BoxTextLine("");
  OverwriteStr(ListDateStr(), line, 53);
  OverwriteStr(ListTimeStr(), line, 64);
  ListLine(line);

  ListLine(BoxTextLine(HeadFileName()));
  ListLine(BoxMiddleLine());
  for (int i = 0; i < 4; ++i) {
    if (i == 3 && Listing.ListTitleLines[3].empty()) break;
    ListLine(BoxTextLine(Listing.ListTitleLines[i]));
  }
  if (kind == 1) {
    ListLine(BoxMiddleLine());
    ListColumnHeads();
  } else {
    ListLine(BoxBottomLine());
  }
  Listing.InHeader = false;
}

void ListPageBreak() {
  if (!IsFramedDevice()) return;
  if (Settings.SeparatorMode == 4 && Listing.ListLineCount < Settings.LinesPerPage / 2) return;
  if (Listing.ListDevice == DeviceWindow || Listing.ListDevice == DevicePrinter)
    ListWriteLine(FormFeed);
  else if (Listing.ListDevice == DeviceTextPrinter)
    ListWriteText(FormFeed);
  Listing.ListLineCount = 0;
}

void ListCheckPageFull(int kind) {
  if (Listing.InHeader) return;
  if (Listing.ListLineCount < Settings.LinesPerPage) return;
  if (Settings.HeaderMode == 2) {
    ListWriteLine(FormFeed);
    Listing.ListLineCount = 0;
    return;
  }
  ListPageBreak();
  ListPageHeader(0, kind);
  // A page too short for its head must not start yet another page here.
  Listing.InHeader = true;
  ListLine("");
  Listing.InHeader = false;
}

void ListNeedLines(int kind) {
  if (Listing.ListLineCount > std::max(Settings.LinesPerPage - 10, 10)) {
    ListPageBreak();
    ListPageHeader(0, kind);
  }
}

void CloseListOutput() {
  const int dev = Listing.ListDevice;
  if ((dev == DeviceWindow || dev == DeviceTextPrinter || dev == DevicePrinter) &&
      Listing.ListLineCount > 0 && (Settings.HeaderMode == 2 || Settings.SeparatorMode == 4))
    ListWriteText(FormFeed);
  if (dev == DeviceHtml) {
    CloseHtmlTable();
    ListWriteLine("</BODY>");
    ListWriteLine("</HTML>");
  }
  if (const int io = FinishListFile(); io != IoOk) {
    ReportListWriteError(Listing.ListFileName, io);
    Flags.AbortFlag = true;
    AbortListOutput();
    return;
  }

  const std::string outwin = AddBackslash(Settings.TempFolder) + "outwin.txt";
  switch (dev) {
    case DeviceWindow:
      if (CopyListFile(outwin) && hooks.ShowListingWindow) hooks.ShowListingWindow(Listing.ListFileName);
      RemovePlainFile(Listing.ListFileName);
      break;
    case DeviceTextPrinter:
      if (!Listing.SpoolFileName.empty()) SpoolTextPrinter();
      break;
    case DeviceFile:
    case DeviceOutDos:
      CopyListFile(outwin);
      Flags.ErrorBoxesEnabled = true;
      break;
    case DevicePrinter:
      PrintTextFile(Listing.ListFileName);
      RemovePlainFile(Listing.ListFileName);
      break;
    case DeviceTextProgram:
      SetWaitCursor();
      if (CopyListFile(outwin)) OpenWithConfiguredProgram(Settings.TextProgram, outwin);
      break;
    case DeviceTxt:
      ++Listing.TxtListingNumber;
      CopyListFile(AddBackslash(Settings.TempFolder) + "$$" + IntStr(Listing.TxtListingNumber) + ".txt");
      break;
    case DeviceBatchTxt:
      // Written converted to its own file already.
      ++Listing.TxtListingNumber;
      break;
    case DeviceHtml:
      if (!Settings.HtmlBrowser.empty()) {
        SetWaitCursor();
        OpenWithConfiguredProgram(Settings.HtmlBrowser, Listing.ListFileName);
        Ident.DataExtension = Listing.SavedDataExtension;
      }
      break;
  }
  SetArrowCursor();
}

void AbortListOutput() {
  const int dev = Listing.ListDevice;
  const bool openOnListing = DataFile.IsOpen() && DataFile.Name() == Listing.ListFileName;
  const int writeError = openOnListing ? DataFile.WriteError() : IoOk;
  // The unfinished working file is dropped: an earlier file of the listing's name stays.
  DataFile.Close();
  if (writeError != IoOk) ReportListWriteError(Listing.ListFileName, writeError);
  Listing.HtmlTableOpen = false;
  if (dev == DeviceTextPrinter) {
    // Straight to the port: what went out is out. Spooled: the job is dropped unsent.
    RemovePlainFile(Listing.SpoolFileName);
    Listing.SpoolFileName.clear();
  } else if (dev == DeviceWindow || dev == DevicePrinter || dev == DeviceTextProgram) {
    // The window, printer and text-program devices always write a temporary file of their own.
    RemovePlainFile(Listing.ListFileName);
  }
  if (dev == DeviceHtml && !Settings.HtmlBrowser.empty()) Ident.DataExtension = Listing.SavedDataExtension;
  SetArrowCursor();
}

// ---- Line writers --------------------------------------------------------------------------

namespace {
// A line as the device takes it: HTML in its own form, the text printer in CP850 (one byte a
// character), every file in the program's UTF-8.
std::string DeviceText(const std::string& s) {
  if (IsHtmlDevice()) return OemStrToAnsi(s);
  // The command line's file is the converted copy other devices make after closing.
  if (Listing.ListDevice == DeviceBatchTxt) return ConvertDisplayText(s);
  if (Listing.ListDevice == DeviceTextPrinter) return Utf8ToCp850Bytes(s);
  return s;
}
}  // namespace

void ListWriteLine(const std::string& s) { WriteLine(DeviceText(s)); }

void ListWriteText(const std::string& s) { WriteText(DeviceText(s)); }

void ListLine(const std::string& s) { ListLineRaw(IsHtmlDevice() && !IsSeparatorText(s) ? HtmlEscape(s) : s); }

void ListTableRow(const std::string& s) {
  if (!IsHtmlDevice()) {
    ListLine(s);
    return;
  }
  if (!Listing.HtmlTableOpen) OpenHtmlTable();
  ListWriteLine("<TR><TD>" + HtmlEscape(s) + "</TD></TR>");
}

void ListWrappedRow(const std::string& s) {
  if (s.empty()) return;
  if (!IsFramedDevice() || Utf8Length(s) <= 72) {
    ListTableRow(s);
    return;
  }
  int lineCount = 0, maxWidth = 0;
  WrapText(s, ' ', 64, lineCount, maxWidth);
  const std::vector<std::string> pieces(Session.WrapLines.begin(),
                                        Session.WrapLines.begin() + std::min<size_t>(lineCount, Session.WrapLines.size()));
  for (const auto& piece : pieces) ListTableRow(piece);
}

void ListValueLine(const std::string& label, const std::string& symbol, const std::string& unit,
                   const std::string& value) {
  if (IsTxtDevice()) {
    ListWriteLine(label + Tab + symbol + Tab + unit + Tab + value);
    return;
  }
  if (IsHtmlDevice()) {
    if (!Listing.HtmlTableOpen) OpenHtmlTable();
    ListWriteLine("<TR><TD>" + HtmlEscape(label) + "</TD><TD>" + HtmlEscape(symbol) + "</TD><TD>" +
                  HtmlEscape(unit) + "</TD><TD><DIV ALIGN=RIGHT>" + HtmlEscape(value) +
                  "</DIV></TD></TR>");
    return;
  }
  std::string line = Blanks(ListLineWidth);
  OverwriteStr(label, line, ColLabel);
  OverwriteStr(symbol, line, ColSymbol);
  OverwriteStr(unit, line, ColUnit);
  std::string v = value;
  const int room = ListLineWidth - ColValue;
  if (Utf8Length(v) > room) v = TrimBlanks(v);
  const int len = Utf8Length(v);
  OverwriteStr(v, line, len > room ? ListLineWidth - len : ColValue);
  ListLine(line);
  if (Settings.SeparatorMode != 4) ListLine(SeparatorLine());
}

void ListTwoValueLine(const std::string& label, const std::string& symbol, const std::string& unit,
                      const std::string& value1, const std::string& value2) {
  if (IsTxtDevice()) {
    ListWriteLine(label + Tab + symbol + Tab + unit + Tab + value1 + Tab + value2);
    return;
  }
  if (IsHtmlDevice()) {
    if (!Listing.HtmlTableOpen) ListColumnHeads();
    ListWriteLine("<TR><TD>" + HtmlEscape(label) + "</TD><TD>" + HtmlEscape(symbol) + "</TD><TD>" +
                  HtmlEscape(unit) + "</TD><TD>" + HtmlEscape(value1) + "</TD><TD>" +
                  HtmlEscape(value2) + "</TD></TR>");
    return;
  }
  std::string line = Blanks(ListLineWidth + 1);
  OverwriteStr(label, line, ColLabel);
  OverwriteStr(symbol, line, ColSymbol);
  OverwriteStr(unit, line, ColUnit);
  PutExtending(value1, line, ColValue1);
  // Wide values (more decimals) extend the line instead of vanishing or running into each other.
  const int len1 = Utf8Length(value1);
  const int pos2 = len1 > ColValue2 - ColValue1 ? ColValue1 + len1 + 1 : ColValue2;
  PutExtending(value2, line, pos2);
  ListLine(line);
  if (Settings.SeparatorMode != 4) ListLine(SeparatorLine());
}

void ListColumnHeads() {
  const auto& h = Listing.ListColumnTitles;
  if (IsTxtDevice()) {
    ListLine(h[0] + Tab + h[1] + Tab + h[2] + Tab + h[3] + Tab + h[4]);
    return;
  }
  if (IsHtmlDevice()) {
    CloseHtmlTable();
    OpenHtmlTable();
    ListWriteLine("<TR><TD><CENTER>" + HtmlEscape(h[0]) + "</CENTER></TD>" + "<TD>" + HtmlEscape(h[1]) +
                  "</TD>" + "<TD>" + HtmlEscape(h[2]) + "</TD>" + "<TD>" + HtmlEscape(h[3]) + "</TD>" +
                  "<TD>" + HtmlEscape(h[4]) + "</TD>" + "</TR>");
    return;
  }
  std::string line = Blanks(ListLineWidth);
  OverwriteStr(BoxSideChar(), line, 1);
  OverwriteStr(h[0], line, 3);
  OverwriteStr(h[1], line, ColSymbol);
  OverwriteStr(h[2], line, ColUnit);
  OverwriteStr(h[3], line, ColValue1);
  OverwriteStr(h[4], line, ColValue2);
  OverwriteStr(BoxSideChar(), line, ListLineWidth);
  ListLine(line);
  ListLine(BoxBottomLine());
  ListLine("");
}

void FormatNrLine(const std::string& label, const std::string& nr, std::string& s) {
  s = Blanks(64);
  OverwriteStr(label, s, 1);
  OverwriteStr("Nr.: " + nr, s, 40);
}

std::string FormatNrLine(const std::string& label, const std::string& nr) {
  std::string s;
  FormatNrLine(label, nr, s);
  return s;
}

// ---- Messages ------------------------------------------------------------------------------

void ListMessageSection() {
  const int count = Errors.ErrorCount;
  if (count == 0) return;
  ListWriteLine("");
  ListLine("BEMERKUNGEN, WARNUNGEN, FEHLERMELDUNGEN");
  if (!IsTxtDevice()) {
    ListLine(DoubleSeparatorLine());
    ListWriteLine("");
    ListLine(SeparatorLine());
  }
  if (IsHtmlDevice()) OpenHtmlTable();
  for (int i = 1; i <= count; ++i) {
    const std::string& message = Errors.ErrorList[i - 1];
    std::string cause, remedy;
    GetErrorCause(i, cause);
    GetErrorRemedy(i, remedy);
    if (IsTxtDevice()) {
      ListWriteLine(message + Tab + cause + Tab + remedy);
      continue;
    }
    ListTableRow(message);
    ListWrappedRow(cause);
    ListWrappedRow(remedy);
    if (IsHtmlDevice()) {
      // Each message gets its own table; the last one is closed once, after the loop.
      CloseHtmlTable();
      ListLine("");
      if (i < count) OpenHtmlTable();
    } else if (Settings.SeparatorMode != 4) {
      ListLine(SeparatorLine());
    }
  }
  if (IsHtmlDevice()) CloseHtmlTable();
}

void ListMessages() {
  if (Errors.ErrorCount == 0) return;
  AskNextSheet();
  if (Flags.AbortFlag) return;
  ListPageHeader(0, 0);
  ListMessageSection();
  ListPageBreak();
}

void ViewErrorMessages() {
  Flags.AbortFlag = false;
  if (Errors.ErrorCount == 0) {
    ShowMessageBox("Berechnung erfolgreich ohne Fehlermeldungen");
    return;
  }
  SetListHeader(Ident.ProductName + " V" + Ident.VersionText, "Error Messages", Session.CommentLines[0],
                Session.CommentLines[1], Session.CommentLines[2], 1);
  if (Flags.FatalError) {
    ShowCalculationMessages();
    return;
  }
  OpenListOutput(DeviceWindow, Session.CurrentFileName + ".txt");
  if (Flags.AbortFlag) return;
  RewriteChecked(DataFile);
  if (!Flags.AbortFlag) ListMessages();
  // A listing cut short by a write error is not shown as if it were whole.
  if (Flags.AbortFlag) return AbortListOutput();
  CloseListOutput();
}

}  // namespace qern
