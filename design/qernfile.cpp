// Open, Save, Save As, the save question and the recent-file list.
#include "design/qernfile.h"

#include <filesystem>

#include "design/qernio.h"
#include "framework/dialogs.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/utf8.h"
#include "framework/utilstr.h"
#include "framework/zorqdraw.h"

namespace qern {

namespace {

// The full file name of the current design under its given name, made absolute so that the
// list stays right when the current folder changes.
std::string FullDesignName(const std::string& name) {
  std::string full = name == Session.CurrentFileName ? DataFileName() : DesignFileName(name);
  std::error_code ec;
  if (!full.empty() && full[0] != '/') {
    const std::filesystem::path p = std::filesystem::absolute(full, ec);
    if (!ec) full = p.lexically_normal().string();
  }
  return full;
}

}  // namespace

void SaveChangesQuery() {
  Flags.AbortFlag = false;
  if (Flags.StartedWithFile && Flags.ArchiveMode) {
    Flags.DesignModified = false;
    return;
  }
  if (!Flags.DesignModified) return;
  if (!Session.CurrentFileName.empty()) {
    const std::string shown = DataFileName();
    if (ConfirmBox("Datei speichern (" + shown + ") ?")) {
      // Only a save that worked lets the edits go; a failed one stops the command.
      if (SaveCurrentFile(Session.CurrentFileName)) Flags.DesignModified = false;
    } else if (!Flags.AbortFlag) {
      Flags.DesignModified = false;
    }
    return;
  }
  if (ConfirmBox("Bisherige Eingaben verwerfen ?"))
    Flags.DesignModified = false;
  else
    Flags.AbortFlag = true;
}

bool SaveCurrentFile(const std::string& name) {
  // A name from the save dialog may be another file: that one is not replaced without asking.
  Flags.AskOverwrite = TrimBlanks(name).empty();
  // A design name with a point of its own ("v1.2") would be taken as a file name with extension.
  const bool dotted = !name.empty() && name == Session.CurrentFileName &&
                      FileNamePart(name).find('.') != std::string::npos;
  SaveDataFile(dotted ? DataFileName() : name);
  Flags.AskOverwrite = true;
  return !Flags.AbortFlag;
}

bool FileOpenCommand() {
  Flags.AbortFlag = false;
  SaveChangesQuery();
  if (Flags.AbortFlag) return false;
  ReadDataFile("");
  if (Flags.AbortFlag) return false;
  Flags.DesignModified = false;
  AddRecentFile(Session.CurrentFileName);
  return true;
}

bool FileSaveCommand() {
  Flags.AbortFlag = false;
  if (!SaveCurrentFile(Session.CurrentFileName)) return false;
  Flags.DesignModified = false;
  return true;
}

bool FileSaveAsCommand() {
  Flags.AbortFlag = false;
  SaveDataFile("");
  if (Flags.AbortFlag) return false;
  Flags.DesignModified = false;
  AddRecentFile(Session.CurrentFileName);
  return true;
}

bool OpenRecentFile(int k) {
  if (k < 1 || k > RecentFileCount) return false;
  Flags.AbortFlag = false;
  SaveChangesQuery();
  if (Flags.AbortFlag) return false;
  const std::string file = Session.RecentFiles[k - 1];
  if (file.empty()) return false;
  if (!FileCanOpen(file)) {
    RemoveRecentFile(k);
    ShowMessageBox("File " + file + " not found !");
    Flags.AbortFlag = true;
    return false;
  }
  // The design takes the file's name only when it was read: a failed read keeps the old design,
  // and a later Save must not write it over the file that could not be read.
  const std::string oldName = Session.CurrentFileName, oldFolder = Session.CurrentFileFolder;
  Session.CurrentFileName = FileNameWithoutExt(file);
  Session.CurrentFileFolder = ExtractFolder(file);
  ReadDataFile(file);
  if (Flags.AbortFlag) {
    Session.CurrentFileName = oldName;
    Session.CurrentFileFolder = oldFolder;
    return false;
  }
  AddRecentFile(Session.CurrentFileName);
  Flags.DesignModified = false;
  return true;
}

std::string ShortenMenuPath(const std::string& name) {
  if (Utf8Length(name) < 50) return name;
  // The root "/" of an absolute name is no folder of its own: the first folder is kept with it.
  const size_t first = name.find('/', name.empty() || name[0] != '/' ? 0 : 1);
  const size_t last = name.rfind('/');
  if (first == std::string::npos || first >= last) return name;
  return name.substr(0, first + 1) + "..." + name.substr(last);
}

void AddRecentFile(const std::string& name) {
  const std::string full = FullDesignName(name);
  // File names on this system are case-sensitive: only the same spelling is the same file.
  for (int k = RecentFileCount; k >= 1; --k)
    if (Session.RecentFiles[k - 1] == full) RemoveRecentFile(k);
  for (int k = RecentFileCount - 1; k >= 1; --k) Session.RecentFiles[k] = Session.RecentFiles[k - 1];
  Session.RecentFiles[0] = full;
}

void RemoveRecentFile(int k) {
  if (k < 1 || k > RecentFileCount) return;
  for (int i = k; i < RecentFileCount; ++i) Session.RecentFiles[i - 1] = Session.RecentFiles[i];
  Session.RecentFiles[RecentFileCount - 1].clear();
}

}  // namespace qern
