// Program start: the program identity, the settings and session read when the main window is
// created, the command line with its batch modes (listing, drawing) and the window start with the
// default design. Plain C++: the main window calls these, and a run without a window calls them too.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "framework/configio.h"

namespace qern {

// Exit status of a run that the command line ends.
constexpr int ExitOk = 0;
constexpr int ExitReadError = 1;             // the design file of a batch run could not be read
constexpr int ExitOutputFailed = 2;          // fatal calculation, refused or failed output
constexpr int ExitNoDisplay = 4;             // a window start without a screen to show it on

// What the command line asks for.
enum class StartMode {
  Window,          // no parameter: window with the default design
  Usage,           // "?" or "/?": the usage lines, then end
  WindowUnnamed,   // "/E", "/e" or "/G": window start without reading the named file
  Listing,         // "/I", "/i", "-I", "-i": write the result listing as <name>.txt, then end
  Drawing,         // "/CADi:j" or "-cadi:j": write drawing j with CAD device i, then end
  WindowWithFile,  // anything else: window with the named design file
};

struct CommandLineChoice {
  StartMode Mode = StartMode::Window;
  std::string FileName;           // first parameter as given
  std::string Switch;             // second parameter as given ("" when missing)
  int CadDevice = 0;              // drawing mode: the fifth character of the switch as a number
  int CadIndex = 0;               // drawing mode: the switch from its seventh character on
  bool MissingExtension = false;  // window start with a first parameter holding no "."
};

// The decision on the first two parameters (without the program name).
CommandLineChoice ParseCommandLine(const std::vector<std::string>& params);
// Usage, listing and drawing runs end before any window exists and never ask anything (but the
// device of a drawing run that names none, see AsksForCadDevice).
bool IsBatchMode(StartMode mode);
// A drawing run that names no device ("/CADx:1", "/CAD0:1"): the drawing entry asks for one, so
// it needs a screen.
bool AsksForCadDevice(const CommandLineChoice& c);

// Version "1.0", product "QERN", short name "qern", extension "qrk" and the banner.
void SetProgramIdentity();

// The steps of the main window's creation that need no window: the drawing device (when none
// exists yet), the identity, the configuration file, the drawing information's start values
// (dated by the configured format) and the session file.
void PrepareStart(const ScreenMetrics& screen);
// Removes the working folders that killed runs of this user left in the temporary folders
// (PrepareStart does it once the configuration is read).
void RemoveStaleWorkFolders();
// Frees the drawing device made by PrepareStart.
void ReleaseDrawDevice();

// Called inside a catch block when an exception ended a step while doing ("beim Lesen von ..."):
// the outputs not yet complete are dropped (the files they replace stay) and the cause is said,
// "Nicht genügend Speicher <doing> !" for memory that ran out, else "Fehler <doing>: <what> !";
// AbortFlag set.
void ReportStepException(const std::string& doing);

// The start-up routine: checks the configured folders and handles the command line of
// ProgramParams(). Returns the exit status when the run ends here (usage, batch run, missing
// extension, refused new file name), nothing when the window is to be shown.
std::optional<int> ProgramStart();

// The window start: logo, default design ("null.qrk" from the default data folder, else from the
// data folder shipped beside the program), one calculation. enterAtCalculation: the design named
// on the command line is already in place, only calculate.
void WindowStart(bool enterAtCalculation);

// The drawing kind of a command-line drawing index: 1..7 as they are, 13 gives 10, else 0.
int DrawingKindForIndex(int index);
// Draws command-line drawing index with CAD device (1 DXF, 2 IGES, 5 CAD text) and returns the
// exit status of the drawing run; an index without a drawing draws nothing and gives ExitOk.
int CadBatchOutput(int device, int index);

// The 21 lines of the usage window.
std::vector<std::string> UsageLines();

// A run with no window at all: batch modes, and any run without a screen. Messages go to stderr,
// no question waits for an answer, the session file is not written. Returns the exit status.
// noScreen: why there is no screen when one is set but cannot be reached ("" when none is set).
int RunWithoutWindow(const std::string& noScreen = "");
// True when no window can be shown: the offscreen or minimal Qt platform, the X or Wayland
// platform asked for without its display, or no platform asked for and neither display set.
bool HeadlessRun();

// True when both names exist and are the same file.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace qern
