// The main window's file commands without the window: Open, Save, Save As, the question before a
// modified design is replaced and the four recent files. The menu items are in
// design/qt/recentmenu.h; closing is the main window's (app/qt/qernu.h).
#pragma once

#include <string>

namespace qern {

// Asks before the current design is replaced or the window closes. Sets AbortFlag when the user
// cancels, and when the save that the user asked for failed (the design then stays modified).
void SaveChangesQuery();

// Saves under name without the overwrite question: the file is the design's own. An empty name
// asks with the save dialog, and then an existing file is not replaced without asking.
// Returns true on success (AbortFlag clear).
bool SaveCurrentFile(const std::string& name);

// The commands. Each clears AbortFlag first and returns true when it succeeded; the caller then
// refreshes the window (Open and the recent files) and always updates the caption.
bool FileOpenCommand();
bool FileSaveCommand();
bool FileSaveAsCommand();
// k = 1..4. A missing file is dropped from the list with a message.
bool OpenRecentFile(int k);

// Menu form of a file name: names of 50 characters and more lose their middle folders
// ("/home/.../name.qrk"); shorter ones and names without a middle folder stay as they are.
std::string ShortenMenuPath(const std::string& name);

// The list: name is the design's name as in CurrentFileName (folder from CurrentFileFolder);
// the full file name moves to the top, no two entries alike, at most four.
void AddRecentFile(const std::string& name);
void RemoveRecentFile(int k);  // k = 1..4

}  // namespace qern
