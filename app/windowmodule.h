// The windows of wqern as a module of their own: "wqern-windows.so" beside the program, loaded only
// when a window is to be shown on a display that is set (while that display is asked), so that
// batch runs (listing, drawing) and runs without a screen never load the window libraries. The module holds everything the windows need, with its own copy of
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

// Loads the module (null when it cannot be), to be run by RunWindowModule.
void* LoadWindowModule();
// Runs the windows of the loaded module; a module that could not be loaded is told on stderr and
// ends with ExitNoDisplay.
int RunWindowModule(void* module, int argc, char** argv);

// Why no window can be shown on the platforms asked for (QT_QPA_PLATFORM's list, else the X and
// Wayland displays that are set): the platform is none whose use can be checked beforehand (xcb,
// wayland, wayland-egl, linuxfb; the message names those installed), its plugin is not installed
// ("the Qt platform plugin wayland is not installed"), its display cannot be opened within a few
// seconds by the window system's own client library ("the display :9 cannot be opened"; a Wayland
// compositor must answer a round trip), or its frame buffer cannot be used. A display is asked in
// a child process that is killed when late and dies with the program. "" when one can be used:
// QT_QPA_PLATFORM is then set to the first such, so that the window library opens there and
// nowhere else. The window library would end the process with an abort, or wait for ever, on the
// others.
std::string DisplayProblem();
// Starts asking the displays without waiting for their answers, which DisplayProblem then awaits:
// the window module loads meanwhile.
void StartDisplayCheck();

}  // namespace qern
