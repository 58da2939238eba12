// The file overview table: one row per design file of a folder (file, date, part numbers,
// diameter, module, angle, teeth, profile shifts), each file read and calculated in a scratch
// record; sorting by a column, text search, export to the spreadsheet and opening a row's file.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace qern {

constexpr int OverviewColumns = 10;
using OverviewRow = std::array<std::string, OverviewColumns>;

// The grid: Rows[0] is the header row, Rows[1..] one row per file (cell 0 the file name).
struct FileOverview {
  std::string Folder;             // the folder searched, "" = the current folder
  std::vector<OverviewRow> Rows;  // header and files
  int Selected = 0;               // selected row, 0 = none
  int SelectedColumn = 0;
  std::string SearchText;

  int RowCount() const { return static_cast<int>(Rows.size()); }
};

// "File", "Date  y/m/d", "1 (Welle)", "2 (Nabe)", "d [mm]", "m [mm]", "alpha [°]", "z", "x1", "x2"
// (the length unit by the unit system).
OverviewRow OverviewHeader();

// The design files ("*." + DataExtension, the extension in any letter case) of folder ("" = the
// current folder), sorted by name.
std::vector<std::string> FindDesignFiles(const std::string& folder);

// The row of one file: read into a scratch record and calculated there as far as the row's values
// (CalculateKeyValues), so the program's design, messages and flags stay as they are. A file that cannot be read keeps its name and date and
// has empty value cells.
OverviewRow OverviewRowOf(const std::string& folder, const std::string& fileName);

// Header and one row per design file of folder. progress (may be empty) is called with each file
// name before it is read.
void FillFileOverview(FileOverview& table, const std::string& folder,
                      const std::function<void(const std::string&)>& progress = {});

// The file being read, shown no more often than a person can read it: the first name at once,
// then a name only when interval has passed since the last one shown; Finish shows the last name
// when it was left out. now: the clock (the steady clock unless a test gives its own).
class ThrottledProgress {
 public:
  using Clock = std::chrono::steady_clock;
  ThrottledProgress(std::function<void(const std::string&)> show, Clock::duration interval,
                    std::function<Clock::time_point()> now = Clock::now);
  void operator()(const std::string& name);
  void Finish();

 private:
  std::function<void(const std::string&)> show_;
  Clock::duration interval_;
  std::function<Clock::time_point()> now_;
  Clock::time_point shownAt_{};
  bool anyShown_ = false;
  std::string pending_;  // the last name not shown yet
  bool hasPending_ = false;
};

// Sorts the data rows by column: cells that are numbers by their value, before texts in byte
// order, empty cells last; equal cells keep their order. The selection follows its row.
// Returns the new place of every former row (entry 0, the header, stays 0).
std::vector<int> SortByColumn(FileOverview& table, int column);

// Looks for text (case-sensitive substring) in the rows after startRow, each row from column 0
// on; the first hit becomes the selection and true is returned.
bool SearchGrid(FileOverview& table, int startRow);

// The full name of a data row's file.
std::string OverviewFileName(const FileOverview& table, int row);

// Opens the file of data row: reads it as the current design and calculates it; only a
// successful read changes CurrentFileName and CurrentFileFolder, and clears DesignModified.
// A failed read has shown its message and set AbortFlag; false then.
bool OpenOverviewRow(const FileOverview& table, int row);

// Every cell, header included, into the spreadsheet sheet at (row + 1, column + 1), shown as a
// workbook in the folder for temporary files. Failure: message, AbortFlag set, false.
bool ExportOverview(const FileOverview& table);

}  // namespace qern
