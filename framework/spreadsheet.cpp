// Sheets written as .xlsx workbooks with libxlsxwriter, the spreadsheet program that opens them,
// and the export of a design file into column A.
#include "framework/spreadsheet.h"

#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/desktop.h"
#include "platform/process.h"
#include "platform/utf8decode.h"
#include "platform/workfile.h"

namespace qern {

SpreadsheetApplication ExcelApp;

namespace {

// Limits of the workbook format.
constexpr int MaxRows = 1048576;
constexpr int MaxColumns = 16384;
constexpr std::size_t MaxCellBytes = 32767;

// The text a cell can hold: valid UTF-8 (a malformed byte becomes U+FFFD) without the characters
// XML refuses (controls, U+FFFE, U+FFFF), at most MaxCellBytes, cut at a character.
std::string CellText(const std::string& s) {
  std::string r;
  r.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    char32_t c = DecodeUtf8(s, i);
    if (c == Utf8Malformed) c = 0xFFFD;
    if (c < 0x20 || c == 0x7F || c == 0xFFFE || c == 0xFFFF) continue;
    std::string bytes;
    EncodeUtf8(bytes, c);
    if (r.size() + bytes.size() > MaxCellBytes) break;
    r += bytes;
  }
  return r;
}

}  // namespace

void Worksheet::SetCell(int row, int column, const std::string& text) {
  if (row < 1 || column < 1) return;
  if (text.empty())
    cells_.erase({row, column});
  else
    cells_[{row, column}] = text;
}

std::string Worksheet::Cell(int row, int column) const {
  auto it = cells_.find({row, column});
  return it == cells_.end() ? std::string() : it->second;
}

int Worksheet::RowCount() const { return cells_.empty() ? 0 : cells_.rbegin()->first.first; }

bool CellNumber(const std::string& text, double& value, int& decimals) {
  const std::string t = TrimBlanks(text);
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) ++i;
  const std::size_t intStart = i;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
  const std::size_t intDigits = i - intStart;
  if (intDigits == 0 || intDigits > 15) return false;
  if (intDigits > 1 && t[intStart] == '0') return false;  // "007" is a name, not a number
  int dec = 0;
  if (i < t.size() && (t[i] == '.' || t[i] == ',')) {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++dec;
    if (dec == 0 || dec > 15) return false;
  }
  if (i != t.size()) return false;
  std::string c = t;
  std::replace(c.begin(), c.end(), ',', '.');
  char* end = nullptr;
  value = std::strtod(c.c_str(), &end);  // the C locale's point: the program never changes it
  if (!end || *end != '\0') return false;
  decimals = dec;
  return true;
}

void TabbedLinesToSheet(const std::vector<std::string>& lines, Worksheet& sheet) {
  int row = 0;
  for (const std::string& line : lines) {
    ++row;
    int column = 1;
    std::size_t start = 0;
    for (;;) {
      const std::size_t tab = line.find('\t', start);
      sheet.SetCell(row, column, line.substr(start, tab == std::string::npos ? tab : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
      ++column;
    }
  }
}

bool WriteWorkbook(const Worksheet& sheet, const std::string& fileName, std::string& error) {
  error.clear();
  for (const auto& [pos, text] : sheet.Cells()) {
    if (pos.first > MaxRows || pos.second > MaxColumns) {
      error = "Tabelle zu groß für eine Arbeitsmappe";
      return false;
    }
  }
  // A fresh name beside the target; the workbook goes there and replaces the target when done.
  std::string tmpl = ExtractFolder(fileName) + ".qern-xlsx-XXXXXX";
  std::vector<char> tmp(tmpl.begin(), tmpl.end());
  tmp.push_back('\0');
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) {
    error = "Datei " + fileName + " kann nicht angelegt werden";
    return false;
  }
  // The workbook is the user's document: the rights of the workbook it replaces, or the ordinary
  // permissions of a new file, not the private ones of a temporary name.
  if (!TakeRightsOf(fd, fileName)) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  ::close(fd);
  const std::string tmpName = tmp.data();

  std::string tmpDir = RemoveBackslash(ExtractFolder(fileName));
  if (tmpDir.empty()) tmpDir = ".";
  lxw_workbook_options options{};
  options.tmpdir = tmpDir.data();
  lxw_workbook* book = workbook_new_opt(tmpName.c_str(), &options);
  if (!book) {
    std::remove(tmpName.c_str());
    error = "Datei " + fileName + " kann nicht angelegt werden";
    return false;
  }
  lxw_worksheet* ws = workbook_add_worksheet(book, nullptr);
  lxw_error status = ws ? LXW_NO_ERROR : LXW_ERROR_MEMORY_MALLOC_FAILED;
  if (ws && sheet.FirstColumnWidth > 0)
    status = worksheet_set_column(ws, 0, 0, sheet.FirstColumnWidth, nullptr);
  std::map<int, lxw_format*> numberFormats;  // by decimals
  for (const auto& [pos, raw] : sheet.Cells()) {
    if (status != LXW_NO_ERROR) break;
    const auto row = static_cast<lxw_row_t>(pos.first - 1);
    const auto col = static_cast<lxw_col_t>(pos.second - 1);
    double value = 0;
    int decimals = 0;
    if (sheet.NumbersAsValues && CellNumber(raw, value, decimals)) {
      lxw_format*& f = numberFormats[decimals];
      if (!f) {
        f = workbook_add_format(book);
        const std::string pattern = decimals > 0 ? "0." + std::string(decimals, '0') : "0";
        format_set_num_format(f, pattern.c_str());
      }
      status = worksheet_write_number(ws, row, col, value, f);
    } else {
      const std::string text = CellText(raw);
      if (!text.empty()) status = worksheet_write_string(ws, row, col, text.c_str(), nullptr);
    }
  }
  const lxw_error closed = workbook_close(book);  // frees the workbook in any case
  if (status == LXW_NO_ERROR) status = closed;
  if (status != LXW_NO_ERROR) {
    std::remove(tmpName.c_str());
    error = "Datei " + fileName + " kann nicht geschrieben werden (" + lxw_strerror(status) + ")";
    return false;
  }
  if (std::rename(tmpName.c_str(), fileName.c_str()) != 0) {
    std::remove(tmpName.c_str());
    error = "Datei " + fileName + " kann nicht geschrieben werden";
    return false;
  }
  return true;
}

std::string SpreadsheetProgram() {
  const char* p = std::getenv("QERN_SPREADSHEET");
  return p ? TrimBlanks(p) : std::string();
}

bool SpreadsheetProgramAvailable() {
  const std::string program = SpreadsheetProgram();
  if (!program.empty()) return ProgramExists(program);
  return HasAssociatedProgram(WorkbookMimeType);
}

bool ShowWorkbook(const Worksheet& sheet, const std::string& fileName) {
  std::string error;
  if (!WriteWorkbook(sheet, fileName, error)) {
    ErrorMessage(error);
    Flags.AbortFlag = true;
    return false;
  }
  const std::string program = SpreadsheetProgram();
  const bool started = program.empty()
                           ? OpenWithDesktop(fileName)
                           : StartDetached({program, fileName}) == StartResult::Started;
  if (!started) {
    // The workbook is written all the same: say where it is.
    ShowMessageBox("Excel kann nicht gestartet werden; die Tabelle steht in " + fileName);
    Flags.AbortFlag = true;
    return false;
  }
  return true;
}

void ExportTextToSpreadsheet(const std::string& fileName) {
  if (TrimBlanks(fileName).empty()) {
    ShowMessageBox("File not found. Use \"File->Save\"");
    Flags.AbortFlag = true;
    return;
  }
  CheckFileAccess(fileName);
  if (Flags.AbortFlag) return;
  Worksheet& sheet = ExcelApp.ActiveSheet;
  sheet.Clear();
  sheet.NumbersAsValues = false;  // the lines as they are in the file
  sheet.FirstColumnWidth = 40;
  DataFile.Assign(fileName);
  DataFile.SetCodePage(LegacyCodePage::Oem850);  // a stored design: UTF-8, else CP850
  if (!DataFile.Reset()) {
    CheckFileAccess(fileName);
    Flags.AbortFlag = true;
    return;
  }
  std::string line;
  for (int n = 1; !DataFile.Eof(); ++n) {
    if (!DataFile.ReadLine(line)) {
      DataFile.Close();
      ErrorMessage("Datei " + fileName + " kann nicht gelesen werden");
      Flags.AbortFlag = true;
      return;
    }
    sheet.SetCell(n, 1, ConvertDisplayText(line));
  }
  DataFile.Close();
  ShowWorkbook(sheet, AddBackslash(Settings.TempFolder) + FileNameWithoutExt(fileName) + ".xlsx");
}

}  // namespace qern
