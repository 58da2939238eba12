// Entry point of wqern: batch runs and runs without a screen end without any window; otherwise the
// main window Thh is created and the message loop runs until it closes.
#include <QApplication>
#include <clocale>
#include <string>
#include <vector>

#include "design/qernstart.h"
#include "design/qt/qernu.h"
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

  QApplication app(argc, argv);
  // Qt takes the user's locale for the C library too; numbers keep the program's own format.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName("QERE");
  qern::Thh window;
  if (const std::optional<int> status = window.StartExitStatus()) return *status;
  window.show();
  return app.exec();
}
