// Table-access layer of the print presets: opening a table with a test of write access (a copy in
// the folder for temporary files when the DBF folder or the table may not be written), positioning,
// fields by number or name, appending under the table lock, and the table-view window for picking
// or editing a row. Failures are shown through ErrorMessage and set AbortFlag.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tablengine/kptable.h"

namespace qern {

// What the table-view window shows.
struct TableViewSpec {
  std::string Title;        // title caption (also the window's menu item)
  std::string TableCaption; // table-name caption
  std::string Caption;      // window caption
  std::string Path;         // the table file in use
  int Mode = 1;             // 1, 4, 5 view only (1 hides deleted records); others allow editing
  bool Editable = false;
  bool ShowDeleted = true;
};

// The table-view window: shows the dataset modally; true when the user confirmed (OK) with a row
// chosen, false on Cancel. Installed by the Qt side; without one the table counts as cancelled.
using TableViewer = std::function<bool(kelpie::DbfDataset& table, const TableViewSpec& spec)>;
void SetTableViewer(TableViewer viewer);

// The dataset the layer drives (one, owned by the table view).
kelpie::DbfDataset& DbfTable();

// Opens name (".dbf" added when it has no point) from the DBF folder, or a copy of it in the folder
// for temporary files when the folder or the table may not be written. A copy already there that
// is at least as new as the table is kept: presets appended to it are not lost.
void DbfOpenWriteCheck(const std::string& name);
void DbfUse(const std::string& path);
void DbfSetCaptions(const std::string& title, const std::string& name);
void DbfGoRecord(int32_t n);
// Returns true when the user confirmed; Cancel sets AbortFlag. action "CLOSE" closes the table
// after the window.
bool DbfShowTable(const std::string& action, int mode);
int32_t DbfRecNo();
int32_t DbfRecCount();
void DbfFieldStr(int n, std::string& s);
std::string DbfFieldStr(int n);
bool DbfGetBool(const std::string& name);
void DbfPutStr(const std::string& name, const std::string& s);
void DbfPutBool(const std::string& name, bool b);
void DbfPutFloat(const std::string& name, double x);
void DbfPutInt(const std::string& name, int64_t n);
// Appends the record buffer under the table lock. A lock that cannot be had is reported and sets
// AbortFlag. Working on the temporary copy, the user is told where the record is kept.
void DbfAppendRecord();
void DbfCloseTable();
void DbfClearError();
int DbfErrorCode();
// The file the layer opened last, and whether it is the copy in the folder for temporary files.
const std::string& DbfPath();
bool DbfOnTemporaryCopy();

// The print-preset table "printout.dbf": name C 25, xscale and yscale N 10.3, xorigin and
// yorigin N 6.0, landscape, monochrom, variable and borderline L (version 0x03, ANSI language
// byte). False after the error was shown (AbortFlag set).
constexpr const char* PrintoutTableName = "printout.dbf";
bool CreatePrintoutTable(const std::string& path);
// Opens the preset table for the print window: "printout.dbf" of the print-preset folder when it
// can be opened there and is not the DBF folder's table, else "printout" through DbfOpenWriteCheck. A table found nowhere is created
// first, in the DBF folder or, when that may not be written, in the folder for temporary files.
// Clears AbortFlag first; a failure leaves it set.
void OpenPrintoutTable();

}  // namespace qern
