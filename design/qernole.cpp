// Spreadsheet exchange of the OLE menu and the web and mail links of the Help menu.
#include "design/qernole.h"

#include "design/qernaus1.h"
#include "design/qernio.h"
#include "framework/dialogs.h"
#include "framework/listout.h"
#include "framework/progvar.h"
#include "framework/spreadsheet.h"
#include "framework/textfile.h"
#include "framework/uhelperr.h"
#include "framework/utilstr.h"
#include "framework/zorqdraw.h"
#include "platform/desktop.h"

namespace qern {

namespace {
const char* const MakerHost = "https://www.zorquan.de/";
const char* const MakerMail = "info@zorquan.de";
const char* const NoSpreadsheet = "Excel kann nicht gestartet werden";
}  // namespace

void StartExcel() {
  if (Session.CurrentFileName.empty()) {
    ShowMessageBox("Zuerst müssen Sie Ihre Eingabedaten speichern (Menü \"Datei->Speichern\")");
    Flags.AbortFlag = true;
    return;
  }
  SetWaitCursor();
  if (!SpreadsheetProgramAvailable()) {
    ShowMessageBox(NoSpreadsheet);
    SetArrowCursor();
    Flags.AbortFlag = true;
    return;
  }
  ExcelApp.Started = true;
  SetArrowCursor();
}

void ExportDesignToExcel() {
  if (Flags.DesignModified) {
    SaveDataFile(Session.CurrentFileName);
    if (Flags.AbortFlag) return;
  }
  ExportTextToSpreadsheet(DataFileName());
}

void PrintoutToExcel() {
  Flags.AbortFlag = false;
  if (Flags.FatalError) {
    ShowCalculationMessages();
    return;
  }
  if (!SpreadsheetProgramAvailable()) {
    ShowMessageBox(NoSpreadsheet);
    Flags.AbortFlag = true;
    return;
  }
  const bool ask = Settings.AskTextDevice;
  const int device = Settings.DefaultTextDevice;
  Settings.AskTextDevice = false;
  Settings.DefaultTextDevice = DeviceTxt;
  const int before = Listing.TxtListingNumber;
  ListResults(0);
  Settings.AskTextDevice = ask;
  Settings.DefaultTextDevice = device;
  if (Flags.AbortFlag || Listing.TxtListingNumber == before) return;

  // The working file of the TXT device, opened as a new workbook: one cell per field.
  const std::string text =
      AddBackslash(Settings.TempFolder) + "$$" + IntStr(Listing.TxtListingNumber) + ".txt";
  TextFile in;
  in.Assign(text);
  if (!in.Reset()) {
    CheckFileAccess(text);
    Flags.AbortFlag = true;
    return;
  }
  std::vector<std::string> lines;
  std::string line;
  while (!in.Eof() && in.ReadLine(line)) lines.push_back(line);
  const bool readOk = in.IoResult() == IoOk;
  in.Close();
  if (!readOk) {
    ErrorMessage("Datei " + text + " kann nicht gelesen werden");
    Flags.AbortFlag = true;
    return;
  }
  Worksheet sheet;
  sheet.NumbersAsValues = true;
  TabbedLinesToSheet(lines, sheet);
  ShowWorkbook(sheet, RemoveFileExt(text) + ".xlsx");
}

std::string InfoPageUrl() { return MakerHost + Ident.ProgramName + "_d.htm"; }
std::string HomePageUrl() { return MakerHost; }
std::string MailToMakerUrl() {
  return std::string("mailto:") + MakerMail + "?subject=" +
         UrlEncode(Ident.ProductName + " V" + Ident.VersionText);
}

namespace {
// A link the desktop cannot open is said, with its address, so that it can be used elsewhere.
void OpenLink(const std::string& url, const std::string& what) {
  if (OpenUrl(url)) return;
  InfoMessage("Kein Programm für " + what + " eingerichtet: " + ReadableLink(url));
  Flags.AbortFlag = true;
}
}  // namespace

void OpenInfoPage() { OpenLink(InfoPageUrl(), "Web-Seiten"); }
void OpenHomePage() { OpenLink(HomePageUrl(), "Web-Seiten"); }
void MailToMaker() { OpenLink(MailToMakerUrl(), "E-Mail"); }

}  // namespace qern
