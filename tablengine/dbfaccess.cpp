// Table-access layer of the print presets over the table object DbfDataset and its view window.
#include "tablengine/dbfaccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/sysutil.h"
#include "framework/textfile.h"
#include "framework/utilstr.h"
#include "tablengine/kpcore.h"
#include "tablengine/kpdbf.h"
#include "tablengine/kpstr.h"

namespace qern {

namespace {

TableViewer tableViewer;

struct LayerState {
  std::string Title, TableCaption;
  std::string Path;
  bool OnCopy = false;
};
LayerState layer;

constexpr const char* NoWriteAccessText = "Kein Schreibrecht für dbf-Ordner !";

// Writes the line "DBF Write Check" into a fresh file of the folder and erases it again. The name
// is our own, so no file of the user's is ever touched.
bool FolderWriteCheck(const std::string& folder) {
  std::string pattern = AddBackslash(folder.empty() ? "." : folder) + "dbfcheck-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  const int fd = ::mkstemp(buf.data());
  if (fd < 0) return false;
  static const char line[] = "DBF Write Check\r\n";
  const bool written = ::write(fd, line, sizeof line - 1) == static_cast<ssize_t>(sizeof line - 1);
  const bool closed = ::close(fd) == 0;
  ::unlink(buf.data());
  return written && closed;
}

bool ModificationTime(const std::string& name, struct timespec& t) {
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0) return false;
  t = st.st_mtim;
  return true;
}

// The copy exists and is at least as new as the table: it may hold records appended earlier.
bool CopyIsCurrent(const std::string& original, const std::string& copy) {
  struct timespec o {}, c {};
  if (!ModificationTime(copy, c)) return false;
  if (!ModificationTime(original, o)) return true;
  return c.tv_sec > o.tv_sec || (c.tv_sec == o.tv_sec && c.tv_nsec >= o.tv_nsec);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

void ClearReadOnly(const std::string& name) {
  struct stat st {};
  if (::stat(name.c_str(), &st) == 0) ::chmod(name.c_str(), (st.st_mode & 07777) | S_IWUSR);
}

std::string EngineDetail(const kelpie::DbfDataset& t) {
  return t.ErrorText().empty() ? std::string() : "\n" + t.ErrorText();
}

}  // namespace

void SetTableViewer(TableViewer viewer) { tableViewer = std::move(viewer); }

kelpie::DbfDataset& DbfTable() {
  // Never destroyed: closing at exit would reach into engine state already gone.
  static auto* table = new kelpie::DbfDataset;
  return *table;
}

const std::string& DbfPath() { return layer.Path; }
bool DbfOnTemporaryCopy() { return layer.OnCopy; }

void DbfOpenWriteCheck(const std::string& name) {
  std::string file = name;
  if (file.find('.') == std::string::npos) file += ".dbf";
  // A table from DOS or Windows is often named in upper case ("PRINTOUT.DBF"): a file of the name
  // in another case is the one meant, and its copy takes its name.
  std::vector<std::string> several;
  const std::string found = kelpie::FileOfAnyCase(AddBackslash(Settings.DbfFolder) + file, &several);
  if (!several.empty()) {
    std::string list;
    for (const std::string& n : several) list += "\n" + n;
    ErrorMessage("Mehrere Dateien dieses Namens in anderer Schreibweise:" + list);
    Flags.AbortFlag = true;
    return;
  }
  file = found.substr(found.find_last_of('/') + 1);
  const std::string original = AddBackslash(Settings.DbfFolder) + file;
  const std::string copy = kelpie::FileOfAnyCase(AddBackslash(Settings.TempFolder) + file);
  const bool folderWritable = FolderWriteCheck(Settings.DbfFolder);
  // A table that was created in the folder for temporary files, since the DBF folder took none.
  if (!folderWritable && !FileCanOpen(original) && FileCanOpen(copy)) {
    DbfUse(copy);
    return;
  }
  CheckFileAccess(original);
  if (Flags.AbortFlag) return;
  std::string path = original;
  if ((!folderWritable || HasFileAttributes(original, faReadOnly)) && !SameFile(original, copy)) {
    if (!CopyIsCurrent(original, copy) && !CopyFileTo(original, copy)) {
      ErrorMessage("Datei " + original + " kann nicht in den Temporär-Ordner kopiert werden !");
      Flags.AbortFlag = true;
      return;
    }
    ClearReadOnly(copy);
    path = copy;
  }
  DbfUse(path);
}

void DbfUse(const std::string& path) {
  kelpie::DbfDataset& t = DbfTable();
  t.ClearError();
  t.SetTableName(path);
  layer.Path = path;
  layer.TableCaption = path;
  // The copy in the folder for temporary files (unless that is the DBF folder itself).
  const std::string folder = AddBackslash(ExtractFolder(t.TableName()));
  layer.OnCopy = SameFile(folder, AddBackslash(Settings.TempFolder)) &&
                 !SameFile(folder, AddBackslash(Settings.DbfFolder));
  if (t.ErrorCode() != 0) {
    ErrorMessage("Fehler : DBF Error " + IntStr(t.ErrorCode()) + EngineDetail(t));
    Flags.AbortFlag = true;
  }
}

void DbfSetCaptions(const std::string& title, const std::string& name) {
  layer.Title = ConvertDisplayText(title);
  layer.TableCaption = ConvertDisplayText(name);
}

void DbfGoRecord(int32_t n) {
  kelpie::DbfDataset& t = DbfTable();
  const int32_t count = static_cast<int32_t>(t.RecCount());
  if (n > count) {
    AddError("DBF #" + IntStr(n) + " not found.");
    n = count;
  }
  // An empty table has no record to go to.
  if (count > 0) t.Go(static_cast<uint32_t>(n >= 1 && n <= count ? n : 1));
  if (t.ErrorCode() != 0) {
    ErrorMessage("Fehler : Database #" + IntStr(t.ErrorCode()) + EngineDetail(t));
    Flags.AbortFlag = true;
  }
}

bool DbfShowTable(const std::string& action, int mode) {
  kelpie::DbfDataset& t = DbfTable();
  TableViewSpec spec;
  spec.Title = layer.Title;
  spec.TableCaption = layer.TableCaption;
  spec.Path = layer.Path;
  spec.Mode = mode;
  spec.Editable = !(mode == 1 || mode == 4 || mode == 5);
  spec.ShowDeleted = mode != 1;
  if (spec.Editable) {
    spec.Caption = layer.Title + "  " + layer.TableCaption + "  (" + layer.Path + ")";
    if (layer.OnCopy) ShowMessageBox(std::string(NoWriteAccessText) + "  Bearbeitung im Temporär-Ordner.");
  } else {
    spec.Caption = layer.Title + "   " + layer.TableCaption;
  }
  t.SetIgnoreDeleted(!spec.ShowDeleted);
  const bool ok = tableViewer ? tableViewer(t, spec) : false;
  if (action == "CLOSE") DbfCloseTable();
  if (!ok) Flags.AbortFlag = true;
  return ok;
}

int32_t DbfRecNo() { return static_cast<int32_t>(DbfTable().RecNo()); }
int32_t DbfRecCount() { return static_cast<int32_t>(DbfTable().RecCount()); }

void DbfFieldStr(int n, std::string& s) { s = DbfTable().SField(n); }
std::string DbfFieldStr(int n) { return DbfTable().SField(n); }
bool DbfGetBool(const std::string& name) { return DbfTable().LField(name); }
void DbfPutStr(const std::string& name, const std::string& s) { DbfTable().PutSField(name, s); }
void DbfPutBool(const std::string& name, bool b) { DbfTable().PutLField(name, b); }
void DbfPutFloat(const std::string& name, double x) { DbfTable().PutFField(name, x); }
void DbfPutInt(const std::string& name, int64_t n) { DbfTable().PutIField(name, n); }

void DbfAppendRecord() {
  kelpie::DbfDataset& t = DbfTable();
  if (!t.Lock()) {
    ErrorMessage("Tabelle " + layer.Path + " ist gesperrt: der Datensatz wurde nicht gespeichert." +
                 EngineDetail(t));
    t.ClearError();
    Flags.AbortFlag = true;
    return;
  }
  const bool appended = t.AppendRec();
  t.Unlock();
  if (!appended || t.ErrorCode() != 0) {
    ErrorMessage("Fehler : DBF Error " + IntStr(t.ErrorCode()) + EngineDetail(t));
    t.ClearError();
    Flags.AbortFlag = true;
    return;
  }
  if (layer.OnCopy) InfoMessage(std::string(NoWriteAccessText) + "  Gespeichert in " + layer.Path);
}

void DbfCloseTable() { DbfTable().Close(); }
void DbfClearError() { DbfTable().ClearError(); }
int DbfErrorCode() { return DbfTable().ErrorCode(); }

bool CreatePrintoutTable(const std::string& path) {
  const bool dispatch = kelpie::SetErrorDispatch(false);
  kelpie::KelpieErrorCode = 0;
  bool ok = false;
  try {
    ok = kelpie::CreateDbf(path,
                           {{"NAME", 'C', 25, 0},
                            {"XSCALE", 'N', 10, 4},
                            {"YSCALE", 'N', 10, 4},
                            {"XORIGIN", 'N', 6, 0},
                            {"YORIGIN", 'N', 6, 0},
                            {"LANDSCAPE", 'L', 1, 0},
                            {"MONOCHROM", 'L', 1, 0},
                            {"VARIABLE", 'L', 1, 0},
                            {"BORDERLINE", 'L', 1, 0}},
                           false, 0x03);
  } catch (const kelpie::EKelpieError&) {
    ok = false;
  }
  const int code = kelpie::KelpieErrorCode != 0 ? kelpie::KelpieErrorCode : (ok ? 0 : 5);
  // The engine's text says why (a link of another user, for one).
  const std::string detail = kelpie::KelpieErrorCode != 0 ? "\n" + kelpie::KelpieErrorText : "";
  kelpie::KelpieErrorCode = 0;
  kelpie::SetErrorDispatch(dispatch);
  if (!ok) {
    ErrorMessage("Fehler : DBF Error " + IntStr(code) + "\n" + path + detail);
    Flags.AbortFlag = true;
  }
  return ok;
}

void OpenPrintoutTable() {
  Flags.AbortFlag = false;
  // Each table also in another case ("PRINTOUT.DBF"); several of those in the DBF folder are
  // reported by the write check, and no new table is made beside them.
  const std::string preset = kelpie::FileOfAnyCase(AddBackslash(Settings.PrintPresetFolder) + PrintoutTableName);
  std::vector<std::string> several;
  const std::string original =
      kelpie::FileOfAnyCase(AddBackslash(Settings.DbfFolder) + PrintoutTableName, &several);
  // The DBF folder's own table (both folders are the start folder by default) takes the write
  // check, so that a read-only folder is worked on in a copy.
  if (FileCanOpen(preset) && !SameFile(preset, original)) {
    DbfUse(preset);
    return;
  }
  const std::string copy = kelpie::FileOfAnyCase(AddBackslash(Settings.TempFolder) + PrintoutTableName);
  if (several.empty() && !FileCanOpen(original) && !FileCanOpen(copy) &&
      !CreatePrintoutTable(FolderWriteCheck(Settings.DbfFolder) ? original : copy))
    return;
  DbfOpenWriteCheck("printout");
}

}  // namespace qern
