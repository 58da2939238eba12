// The change-log menu of the main window and the change-log printout: the change log and the
// title-block references as a listing on any listing device.
#pragma once

#include <functional>
#include <string>

namespace qern {

// The change-entry and drawing-information windows, installed by their window unit; a missing
// one is skipped.
struct ChangeLogWindows {
  std::function<void(int entry)> EditEntry;  // the change-entry window for entry n (1-based)
  std::function<void()> ShowInfo;            // the drawing-information window
};
void SetChangeLogWindows(const ChangeLogWindows& windows);

// The Documentation menu's change-log commands: 1 new, 2 modify (the last entry), 3 delete (the
// last entry), 4 show, 5 print, 6 drawing information; 0 asks first with a choice dialog.
void ChangeLogMenu(int choice);

// The index of change entry i (1-based) in the printout and the revision table: the number when
// the IndexStyle setting is 1, otherwise the lower-case letter ("a" for 1).
std::string ChangeIndexText(int i);

// Writes the change log through the listing engine; device 1 is the listing window, 0 the default
// (or asked) device. A cancelled device choice or an I/O error sets AbortFlag and ends it.
void PrintChangeLog(int device);

}  // namespace qern
