// Start values of the shared program state and the error-list operations.
#include "framework/progvar.h"

#include <unistd.h>

#include <algorithm>

#include "framework/wprinvar.h"

namespace qern {

const std::array<std::string, 5> UnitSystemNames = {
    "metrisch (mm, N, MPa, Nmm, °C)", "englisch (in, lbf, psi, lbfin, degF)",
    "metrisch (mm, kN, MPa, Nm, °C)", "metrisch (mm, N, N/mm², Nmm, °C)",
    "metrisch (mm, kN, N/mm², Nm, °C)"};

ProgramFlags Flags;
ErrorListRecord Errors;
ProgramIdentity Ident;
SessionState Session;
ProgramSettings Settings;

namespace {
std::string CurrentFolder() {
  char buf[4096];
  if (getcwd(buf, sizeof buf)) return buf;
  return ".";
}

// Runs the start values once at program start, before any window exists.
struct StateInit {
  StateInit() { InitProgramState(); }
} stateInit;
}  // namespace

// Taken as a view, so that a fixed text costs no copy until it is listed; the entry keeps the room
// of its former text.
void AddError(std::string_view text) {
  auto end = Errors.ErrorList.begin() + Errors.ErrorCount;
  if (std::find(Errors.ErrorList.begin(), end, text) != end) return;
  if (Errors.ErrorCount >= MaxErrors) return;
  Errors.ErrorList[Errors.ErrorCount++].assign(text);
}

void ResetErrors() {
  Errors.ErrorCount = 0;
  Flags.FatalError = false;
  Flags.AbortFlag = false;
}

void ClearErrorList() {
  Errors.ErrorCount = 0;
  for (auto& t : Errors.ErrorList) t.clear();
}

void InitProgramState() {
  Flags = ProgramFlags{};
  Errors = ErrorListRecord{};
  Ident = ProgramIdentity{};
  Session = SessionState{};
  Session.ChoiceTexts.fill(std::string(65, ' '));
  Session.WrapLines.assign(5, std::string(64, ' '));
  Settings = ProgramSettings{};
  const std::string cwd = CurrentFolder();
  Settings.StartFolder = cwd;
  Settings.ConfigFolder = cwd;
  Settings.DefaultDataFolder = cwd;
  Settings.PrintPresetFolder = cwd;
  InitPrintVariables();
}

}  // namespace qern
