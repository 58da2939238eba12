// Sheets written as .xlsx workbooks with libxlsxwriter, the spreadsheet program that opens them,
// and the export of a design file into column A.
#include "framework/spreadsheet.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "platform/desktop.h"
#include "platform/fileerror.h"
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

namespace {

// libxlsxwriter tells its failures on the C error stream, in English. While it works that stream
// is a sink (no descriptor needed), and its failures are told in the program's own words.
class QuietLibraryErrors {
 public:
  QuietLibraryErrors() : saved_(stderr) {
    if (FILE* sink = ::fopencookie(nullptr, "w", {nullptr, &Drop, nullptr, nullptr})) stderr = sink;
  }
  ~QuietLibraryErrors() {
    if (stderr == saved_) return;
    std::fclose(stderr);
    stderr = saved_;
  }
  QuietLibraryErrors(const QuietLibraryErrors&) = delete;
  QuietLibraryErrors& operator=(const QuietLibraryErrors&) = delete;

 private:
  static ssize_t Drop(void*, const char*, size_t size) { return static_cast<ssize_t>(size); }
  FILE* saved_;
};

// libxlsxwriter opens the workbook and one temporary file at a time beside the working file's
// descriptor: 0, or the errno (EMFILE) when the process cannot open two more files now.
int DescriptorsMissing(int fd) {
  const int a = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  const int b = a < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  const int err = b < 0 ? errno : 0;
  if (a >= 0) ::close(a);
  if (b >= 0) ::close(b);
  return err;
}

// Writes the cells with libxlsxwriter as the workbook file; its temporary files go to tmpDir.
// 0 or the errno of the failure.
int WriteCells(const Worksheet& sheet, const std::string& file, std::string tmpDir) {
  QuietLibraryErrors quiet;
  lxw_workbook_options options{};
  options.constant_memory = LXW_FALSE;
  options.tmpdir = tmpDir.data();
  errno = 0;
  lxw_workbook* book = workbook_new_opt(file.c_str(), &options);
  if (!book) return errno ? errno : ENOMEM;
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
  errno = 0;
  const lxw_error closed = workbook_close(book);  // frees the workbook in any case
  const int err = errno;
  if (status == LXW_NO_ERROR) status = closed;
  if (status == LXW_NO_ERROR) return 0;
  if (status == LXW_ERROR_MEMORY_MALLOC_FAILED) return ENOMEM;
  return err ? err : EIO;
}

}  // namespace

bool WriteWorkbook(const Worksheet& sheet, const std::string& fileName, std::string& error) {
  error.clear();
  for (const auto& [pos, text] : sheet.Cells()) {
    if (pos.first > MaxRows || pos.second > MaxColumns) {
      error = "Tabelle zu groß für eine Arbeitsmappe";
      return false;
    }
  }
  // As every output: a working file beside the file replaced (that of the user's own link),
  // renamed over it when complete with the rights of the old file. libxlsxwriter writes the
  // working file by its name, its temporary files in a private working folder beside it (named as
  // the program's own: one that a killed run left in the folder for temporary files is removed at
  // the next start).
  WorkFile work;
  PrivateFolder scratch;
  int err = 0;
  if (!work.Create(fileName)) {
    err = work.Error();
  } else if ((err = DescriptorsMissing(work.Fd())) == 0) {
    if (!scratch.Create(FolderOfFile(work.Name()), "wqern"))
      err = errno ? errno : EIO;
    else
      err = WriteCells(sheet, work.Name(), scratch.Path());
    scratch.Remove();
    if (err == 0 && !work.Commit()) err = work.Error();
  }
  if (err == 0) return true;
  work.Discard();
  error = "Datei " + fileName + " kann nicht geschrieben werden: " + FileErrorText(err, fileName) + " !";
  return false;
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
