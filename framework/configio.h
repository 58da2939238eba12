// The configuration file (<ProgramName>.cfg), the session file (<ProgramName>.cff) with the recent
// files, and the start-up check of the configured folders.
//
// The configuration file is a text file of label and value lines; an entry is known only by its
// position, never by its label. Reading searches the configuration folder, then the maker's folder
// ~/.zorquan/, then ~/.zorquan/<ProgramName>/, else the settings keep their start values and the
// screen size comes from the screen. Both files are written to a temporary file that replaces the
// old one only when every line was written.
#pragma once

#include <string>

namespace qern {

// What the reader needs to know of the screen when the file gives no screen size. The caller
// (the main window) fills it from the real screen; headless runs keep the fixed 1024 x 768 base so
// that their output does not depend on the machine.
struct ScreenMetrics {
  int Width = 1024;
  int Height = 768;
  int LogPixelsY = 96;    // vertical dots per inch of the screen
  int WindowHeight = 0;   // outer height of the main window; 0 = not known
  int ClientHeight = 0;   // client height of the main window; 0 = not known
};

// Reads the configuration file into Settings (called once when the main window is created).
// Leaves Flags.AbortFlag set when no file was found in any of the three folders; the caller clears it.
// On finding the file in a fallback folder, Settings.ConfigFolder becomes that folder (with "/").
void ReadConfiguration(const ScreenMetrics& screen = ScreenMetrics{});
void ReadConfiguration(int screenWidth, int screenHeight);

// Writes every setting in file order to AddBackslash(ConfigFolder) + ProgramName + ".cfg".
// Does nothing when Flags.AbortFlag is set on entry; sets it when the file could not be written
// (the old file then stays as it was).
void WriteConfiguration();

// Screen-size fallback: a ScreenWidth/ScreenHeight of 0 (or 65535) becomes the screen's width - 9
// and height - 91.
void DefaultScreenSize(const ScreenMetrics& screen);

// Start-up check of the configured folders: empty folders become the start folder, each unusable
// folder is reported; for the folder of temporary files a new one is asked for.
void CheckConfiguredFolders();

// The session file: a title line and the four recent files, newest first. Writing happens only when
// RecentFiles[0] is not empty; reading empties the four entries when there is no file.
void WriteSessionFile();
void ReadSessionFile();

// Full names of the two files in the current configuration folder.
std::string ConfigurationFileName();
std::string SessionFileName();

// The maker's folder ~/.zorquan/ (with its closing "/"); "" when there is no home folder.
std::string MakerFolder();

}  // namespace qern
