// The window module's entry: the Qt application with the main window Thh, its message loop running
// until the window closes. The program loads the module only when a window is to be shown.
#include <QApplication>
#include <clocale>
#include <optional>
#include <string>
#include <vector>

#include "app/qernstart.h"
#include "app/qt/qernu.h"
#include "app/windowmodule.h"
#include "framework/utilstr.h"

namespace {
// An exception out of an event handler must not end the program: memory that runs out (or what
// else ended the handler) is told, and the event counts as not handled.
class GuardedApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (...) {
      qern::ReportStepException("im Fenster");
      return false;
    }
  }
};
}  // namespace

extern "C" __attribute__((visibility("default"))) int qern_window_main(int argc, char** argv) {
  // The module's own copy of the program state starts from the command line as the program's did.
  qern::SetProgramParams(std::vector<std::string>(argv + 1, argv + argc));
  qern::InitDecimalSeparator();

  GuardedApplication app(argc, argv);
  // Qt takes the user's locale for the C library too; numbers keep the program's own format.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName("QERE");
  qern::Thh window;
  if (const std::optional<int> status = window.StartExitStatus()) return *status;
  window.show();
  return app.exec();
}
