// A window module for the process benchmark: the window library started on the platform the
// program chose, one window shown and drawn, then the end: a window start that quits at once.
#include <QApplication>
#include <QWidget>

extern "C" __attribute__((visibility("default"))) int qern_window_main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(320, 200);
  window.show();
  QApplication::processEvents();
  return 0;
}
