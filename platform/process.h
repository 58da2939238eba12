// Starting external programs (text program, browser, plot program, printer spooler) without a
// shell: the program and its arguments are passed as a list, so no text is ever interpreted.
#pragma once

#include <string>
#include <vector>

namespace qern {

// Result of starting a program.
enum class StartResult {
  Started,         // the program runs (detached: nobody waits for it)
  NotFound,        // the program file does not exist or is not executable
  Failed           // any other start error
};

// Starts argv[0] with the arguments argv[1..] detached from this process (its own session, standard
// input from /dev/null); the program is looked up in PATH when argv[0] holds no "/".
StartResult StartDetached(const std::vector<std::string>& argv);

// Runs argv like StartDetached but waits for it; exitCode := its exit status (-1 when it did not
// exit normally). Output goes where this process's output goes.
StartResult RunAndWait(const std::vector<std::string>& argv, int& exitCode);

// True when program names an executable file, directly (with a "/") or through PATH.
bool ProgramExists(const std::string& program);

// True when program names a Windows program: a drive letter ("c:"), a backslash or ".exe". The
// start values of the settings and of document links, and files made on Windows, carry such names.
bool NamesWindowsProgram(const std::string& program);

}  // namespace qern
