// The windows of wqern as a module of their own: "wqern-windows.so" beside the program, loaded only
// when a window is to be shown, so that runs without a window (listing, drawing, usage, no screen)
// never load the window libraries. The module holds everything the windows need, with its own copy of
// the program state; the program hands it the command line and takes back the exit status. Every
// window is reached from the main window, so a new window needs nothing here.
#pragma once

#include <string>

namespace qern {

// The module's file name, in the folder of the program's executable.
constexpr const char* WindowModuleFile = "wqern-windows.so";
// The one symbol the module exports: int (int argc, char** argv), the whole window run.
constexpr const char* WindowModuleEntry = "qern_window_main";
using WindowModuleMain = int (*)(int argc, char** argv);

// Loads the module and runs the windows; a module that cannot be loaded is told on stderr and ends
// with ExitNoDisplay.
int RunWindowModule(int argc, char** argv);

// Why the screen the windows would open on cannot be reached: "the display :9 cannot be opened"
// when no X server answers at DISPLAY within a few seconds (or it refuses this user), the same
// for a Wayland display whose socket does not answer; "" when one of the displays asked for
// answers, and for platforms of their own, which are not tested here. The window library would
// end the process with an abort on such a display, so it is tested before the module is loaded.
std::string DisplayProblem();

}  // namespace qern
