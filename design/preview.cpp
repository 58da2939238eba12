// The file overview table without its window: the rows of a folder's design files, sorting,
// search, export and the opening of a row.
#include "design/preview.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <utility>

#include "design/qerncalc.h"
#include "design/qernio.h"
#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/spreadsheet.h"
#include "framework/sysutil.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"

namespace qern {

namespace fs = std::filesystem;

OverviewRow OverviewHeader() {
  const std::string unit = " [" + LengthUnitStr() + "]";
  return {"File", "Date  y/m/d", "1 (Welle)", "2 (Nabe)", "d" + unit,
          "m" + unit, "alpha [°]", "z", "x1", "x2"};
}

std::vector<std::string> FindDesignFiles(const std::string& folder) {
  const std::string ext = "." + LowerStr(Ident.DataExtension);
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= ext.size() || LowerStr(name.substr(name.size() - ext.size())) != ext)
      continue;
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

std::string JoinFolder(const std::string& folder, const std::string& fileName) {
  return folder.empty() ? fileName : AddBackslash(folder) + fileName;
}

}  // namespace

namespace {

// The program's messages and fatal flag, set aside while the rows are calculated in their place
// (one exchange for the whole folder, not one per file) and given back afterwards.
class ProgramMessagesAside {
 public:
  ProgramMessagesAside() : errors_(std::move(Errors)), fatal_(Flags.FatalError) {
    Errors = ErrorListRecord{};
  }
  ~ProgramMessagesAside() {
    Errors = std::move(errors_);
    Flags.FatalError = fatal_;
  }
  ProgramMessagesAside(const ProgramMessagesAside&) = delete;
  ProgramMessagesAside& operator=(const ProgramMessagesAside&) = delete;

 private:
  ErrorListRecord errors_;
  bool fatal_;
};

// What the rows of one folder share: the folder's prefix, a content kept from file to file (so
// that its texts keep their room), and the dates of the days its files were saved on.
struct RowScratch {
  explicit RowScratch(const std::string& folder) : Prefix(JoinFolder(folder, "")) {}
  std::string Prefix, Full;
  DesignFileContent Content;
  ProgramMessagesAside Aside;

  FileDateCache Dates;
};

// The row of one file.
OverviewRow RowOf(const std::string& fileName, RowScratch& work) {
  OverviewRow row;
  DesignFileContent& scratch = work.Content;
  const std::string& full = work.Full.assign(work.Prefix).append(fileName);
  row[0] = fileName;

  const bool abort = Flags.AbortFlag;
  // The read sets every input and text the row shows (the other texts are only checked); the
  // record starts as a fresh one's, so that nothing of the file before reaches the calculation.
  static const DesignRecord freshRecord{};
  scratch.Record = freshRecord;
  constexpr std::time_t NotOpened = -1;
  std::time_t modified = NotOpened;
  const bool read = ReadDesignFile(full, scratch, nullptr, &modified, DesignTexts::PartNumbers);
  Flags.AbortFlag = abort;
  // The date of the file as it was opened; a file that did not open is asked for it.
  struct stat st {};
  if (modified != NotOpened)
    row[1] = work.Dates.DateOf(modified);
  else if (::stat(full.c_str(), &st) == 0)
    row[1] = FileDateStr(st.st_mtime);
  if (!read) return row;
  DesignRecord& rec = scratch.Record;
  // Calculated as far as Open's calculation sets what a file holds (the program's own messages
  // set aside): a design whose calculation stores a value out of range is one that Open refuses,
  // and shows no values.
  CalculateStoredValues(rec, Errors, Flags.FatalError);
  Flags.AbortFlag = abort;
  if (!ValuesOutOfRange(rec).empty()) return row;
  row[2] = ConvertDisplayText(scratch.Number[1]);
  row[3] = ConvertDisplayText(scratch.Number[2]);
  row[4] = LengthStrFixed(4, 3, rec.PitchDiameter[1]);
  row[5] = LengthStrFixed(2, 3, rec.NormalModule);
  row[6] = FloatStrFixed(3, 2, rec.PressureAngleDeg);
  row[7] = IntStrBlank(rec.ToothCount[1], 3);
  row[8] = FloatStrFixed(1, 3, rec.ProfileShift[1]);
  row[9] = FloatStrFixed(1, 3, rec.ProfileShift[2]);
  return row;
}

}  // namespace

OverviewRow OverviewRowOf(const std::string& folder, const std::string& fileName) {
  RowScratch work(folder);
  return RowOf(fileName, work);
}

void FillFileOverview(FileOverview& table, const std::string& folder,
                      const std::function<void(const std::string&)>& progress) {
  table.Folder = folder;
  table.Rows.clear();
  table.Rows.push_back(OverviewHeader());
  table.Selected = 0;
  table.SelectedColumn = 0;
  const std::vector<std::string> files = FindDesignFiles(folder);
  table.Rows.reserve(files.size() + 1);
  RowScratch work(folder);
  for (const std::string& name : files) {
    if (progress) progress(name);
    table.Rows.push_back(RowOf(name, work));
  }
}

ThrottledProgress::ThrottledProgress(std::function<void(const std::string&)> show,
                                     Clock::duration interval,
                                     std::function<Clock::time_point()> now)
    : show_(std::move(show)), interval_(interval), now_(std::move(now)) {}

void ThrottledProgress::operator()(const std::string& name) {
  const Clock::time_point t = now_();
  if (anyShown_ && t - shownAt_ < interval_) {
    pending_ = name;
    hasPending_ = true;
    return;
  }
  show_(name);
  shownAt_ = t;
  anyShown_ = true;
  hasPending_ = false;
}

void ThrottledProgress::Finish() {
  if (!hasPending_) return;
  show_(pending_);
  hasPending_ = false;
  shownAt_ = now_();
}

namespace {

// The value of a cell that is a number as a whole (blanks around it, "," or "." as separator).
bool CellValue(const std::string& cell, long double& value) {
  std::string s = CommaToPoint(TrimBlanks(cell));
  if (s.empty()) return false;
  const char first = s[0];
  if (!(first == '-' || first == '+' || first == '.' || (first >= '0' && first <= '9')))
    return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtold(s.c_str(), &end);
  return errno == 0 && end && *end == '\0';
}

struct SortKey {
  int Kind = 0;  // 0 number, 1 text, 2 empty
  long double Value = 0;
  std::string Text;
};

SortKey KeyOf(const std::string& cell) {
  SortKey key;
  if (CellValue(cell, key.Value)) return key;
  key.Text = cell;
  key.Kind = TrimBlanks(cell).empty() ? 2 : 1;
  return key;
}

bool KeyLess(const SortKey& a, const SortKey& b) {
  if (a.Kind != b.Kind) return a.Kind < b.Kind;
  if (a.Kind == 0) return a.Value < b.Value;
  return a.Text < b.Text;
}

}  // namespace

std::vector<int> SortByColumn(FileOverview& table, int column) {
  std::vector<int> moved(table.Rows.size());
  for (std::size_t i = 0; i < moved.size(); ++i) moved[i] = static_cast<int>(i);
  if (column < 0 || column >= OverviewColumns || table.RowCount() < 3) return moved;
  const int n = table.RowCount() - 1;
  std::vector<SortKey> keys(n);
  std::vector<int> index(n);
  for (int i = 0; i < n; ++i) {
    keys[i] = KeyOf(table.Rows[i + 1][column]);
    index[i] = i + 1;
  }
  std::stable_sort(index.begin(), index.end(),
                   [&](int a, int b) { return KeyLess(keys[a - 1], keys[b - 1]); });
  std::vector<OverviewRow> sorted;
  sorted.reserve(table.Rows.size());
  sorted.push_back(table.Rows[0]);
  for (int i = 0; i < n; ++i) {
    sorted.push_back(std::move(table.Rows[index[i]]));
    moved[index[i]] = i + 1;
  }
  table.Rows = std::move(sorted);
  if (table.Selected > 0 && table.Selected < table.RowCount()) table.Selected = moved[table.Selected];
  return moved;
}

bool SearchGrid(FileOverview& table, int startRow) {
  if (table.SearchText.empty()) return false;
  for (int r = std::max(startRow + 1, 1); r < table.RowCount(); ++r)
    for (int c = 0; c < OverviewColumns; ++c)
      if (table.Rows[r][c].find(table.SearchText) != std::string::npos) {
        table.Selected = r;
        table.SelectedColumn = c;
        return true;
      }
  return false;
}

std::string OverviewFileName(const FileOverview& table, int row) {
  if (row < 1 || row >= table.RowCount()) return "";
  return JoinFolder(table.Folder, table.Rows[row][0]);
}

bool OpenOverviewRow(const FileOverview& table, int row) {
  Flags.AbortFlag = false;
  const std::string full = OverviewFileName(table, row);
  if (full.empty()) {
    Flags.AbortFlag = true;
    return false;
  }
  ReadDataFile(full);
  if (Flags.AbortFlag) return false;
  Session.CurrentFileName = FileNameWithoutExt(table.Rows[row][0]);
  Session.CurrentFileFolder = table.Folder.empty() ? "" : AddBackslash(table.Folder);
  CalculateSerration();
  Flags.AbortFlag = false;
  Flags.DesignModified = false;
  return true;
}

bool ExportOverview(const FileOverview& table) {
  Flags.AbortFlag = false;
  Worksheet sheet;
  sheet.NumbersAsValues = true;
  for (int r = 0; r < table.RowCount(); ++r)
    for (int c = 0; c < OverviewColumns; ++c)
      if (!table.Rows[r][c].empty()) sheet.SetCell(r + 1, c + 1, table.Rows[r][c]);
  const std::string name =
      AddBackslash(Settings.TempFolder) + LowerStr(Ident.ProgramName) + "_files.xlsx";
  return ShowWorkbook(sheet, name);
}

}  // namespace qern
