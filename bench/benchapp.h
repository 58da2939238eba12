// The Qt application of the window benchmarks: the program's entry (bench_main.cpp) is the plain
// benchmark main, so the application is made on first use, on the offscreen platform unless
// another one is asked for.
#pragma once

#include <QApplication>

namespace qern::bench {

// The application lives until the process ends: destroyed by the exit handlers, after Qt's own
// statics, it would crash the program at its end.
inline void EnsureApplication() {
  if (QApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "qern_bench";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

}  // namespace qern::bench
