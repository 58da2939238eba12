// Texts handed to the spreadsheet program: a sheet of cells written as an .xlsx workbook and
// opened with the configured or the desktop's spreadsheet program, and the export of a design
// file into the first column of the sheet.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qern {

// One sheet of text cells; rows and columns count from 1 as in Cells(row, column).
class Worksheet {
 public:
  void Clear() { cells_.clear(); }
  void SetCell(int row, int column, const std::string& text);
  std::string Cell(int row, int column) const;  // "" for an empty cell
  int RowCount() const;                         // the last row holding a cell
  const std::map<std::pair<int, int>, std::string>& Cells() const { return cells_; }

  // Cells whose whole text is a plain decimal number ("12", "-0,25", "3.500") are written as
  // numbers showing the same decimals; all others as text.
  bool NumbersAsValues = false;
  // Width of column A in characters (0: the spreadsheet's default).
  double FirstColumnWidth = 0;

 private:
  std::map<std::pair<int, int>, std::string> cells_;
};

// The number a cell text stands for when it is a plain decimal number (optional sign, digits,
// at most one "." or "," with digits after it; no leading zeros); decimals := digits after it.
bool CellNumber(const std::string& text, double& value, int& decimals);

// Field k of line n becomes cell (n, k): lines split at tabs.
void TabbedLinesToSheet(const std::vector<std::string>& lines, Worksheet& sheet);

// Writes the sheet as a workbook of one worksheet to fileName, as every output is written: through
// a working file renamed over the file when complete (the user's own link is followed and stays;
// the file keeps its rights), so a failure leaves the old file as it was. Control characters are
// dropped from texts and overlong texts cut at the format's 32767 bytes. false with error set to
// the message with its reason on failure.
bool WriteWorkbook(const Worksheet& sheet, const std::string& fileName, std::string& error);

// The spreadsheet application: chosen by Start Excel; the sheet the export fills.
struct SpreadsheetApplication {
  bool Started = false;
  Worksheet ActiveSheet;
};
extern SpreadsheetApplication ExcelApp;

// The configured spreadsheet program: the environment variable QERN_SPREADSHEET (a program name
// or path), "" when not set.
std::string SpreadsheetProgram();
// MIME type of the workbooks.
inline constexpr const char* WorkbookMimeType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
// True when the configured program exists or the desktop associates a program with workbooks.
bool SpreadsheetProgramAvailable();

// Writes sheet as the workbook fileName and opens it with the configured program, else with the
// desktop's. A write failure is reported with its reason, a program that cannot be started with
// "Excel kann nicht gestartet werden"; both set AbortFlag and return false.
bool ShowWorkbook(const Worksheet& sheet, const std::string& fileName);

// Copies the lines of the design file fileName, converted for display, into column A of
// ExcelApp's sheet (line n into row n) and shows the sheet as the workbook named after the
// design in the folder for temporary files. An empty name gives "File not found. Use
// "File->Save"" and AbortFlag; a file that cannot be read is reported by CheckFileAccess.
void ExportTextToSpreadsheet(const std::string& fileName);

}  // namespace qern
