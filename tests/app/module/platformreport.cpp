// A window module of the tests: reports the platform the windows would open on and ends, so that
// a test sees what the program decided before any window library is loaded.
#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) int qern_window_main(int, char**) {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  std::printf("windows on %s\n", platform ? platform : "(none)");
  return 0;
}
