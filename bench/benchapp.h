// The Qt application of the window benchmarks: the program's entry (bench_main.cpp) is the plain
// benchmark main, so the application is made on first use, on the offscreen platform unless
// another one is asked for.
#pragma once

#include <QApplication>
#include <memory>

namespace qern::bench {

inline void EnsureApplication() {
  static std::unique_ptr<QApplication> app;
  if (QApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "qern_bench";
  static char* argv[] = {name, nullptr};
  app = std::make_unique<QApplication>(argc, argv);
}

}  // namespace qern::bench
