// Fuzz target: the session file reader (qern.cff, the recent files).
#include <cstddef>
#include <cstdint>

#include "framework/configio.h"
#include "framework/progvar.h"
#include "tests/fuzz/fuzzsupport.h"

using namespace qern;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartOnce();
  Settings.ConfigFolder = fuzz::WorkFolder();
  fuzz::WriteInput("qern.cff", data, size);
  ReadSessionFile();
  Flags.AbortFlag = false;
  return 0;
}
