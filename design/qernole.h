// The OLE menu's spreadsheet commands (start, design export, listing printout into a workbook)
// and the Help menu's web and mail links to the maker.
#pragma once

#include <string>

namespace qern {

// Checks that a design file name exists and a spreadsheet program is configured or associated;
// otherwise says so and sets AbortFlag. On success ExcelApp counts as started.
void StartExcel();
// Saves a modified design first; when that did not fail, its file goes into column A of a workbook.
void ExportDesignToExcel();
// The result listing in its tab-separated form, one cell per field, as a new workbook. The user's
// listing-device settings are the same afterwards. With a fatal calculation only the messages.
void PrintoutToExcel();

// The maker's web pages and mail address.
std::string InfoPageUrl();    // the product page ProgramName + "_d.htm"
std::string HomePageUrl();
std::string MailToMakerUrl(); // mailto: with the subject ProductName + " V" + VersionText
// Each opens its link with the desktop; without a program for it, a message names the link.
void OpenInfoPage();
void OpenHomePage();
void MailToMaker();

}  // namespace qern
