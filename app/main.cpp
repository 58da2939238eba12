// Entry point of wqern: batch runs and runs without a screen end without any window and without
// loading a window library; otherwise the window module shows the main window Thh and runs until it
// closes.
#include <string>
#include <vector>

#include "app/qernstart.h"
#include "app/windowmodule.h"
#include "framework/utilstr.h"

int main(int argc, char** argv) {
  const std::vector<std::string> params(argv + 1, argv + argc);
  qern::SetProgramParams(params);
  qern::InitDecimalSeparator();

  const qern::CommandLineChoice choice = qern::ParseCommandLine(params);
  // The usage lines go to the list window when there is a screen, else to the standard output;
  // a drawing run without its device asks for it where there is a screen.
  const bool windowless = qern::IsBatchMode(choice.Mode) && choice.Mode != qern::StartMode::Usage &&
                          !qern::AsksForCadDevice(choice);
  if (windowless || qern::HeadlessRun()) return qern::RunWithoutWindow();
  // The displays are asked while the window module loads. A display that does not answer is a
  // run without a screen, told as such.
  qern::StartDisplayCheck();
  void* const windows = qern::LoadWindowModule();
  if (const std::string problem = qern::DisplayProblem(); !problem.empty())
    return qern::RunWithoutWindow(problem);
  return qern::RunWindowModule(windows, argc, argv);
}
