// Fuzz target: the configuration file reader (qern.cfg).
#include <cstddef>
#include <cstdint>

#include "framework/configio.h"
#include "framework/progvar.h"
#include "tests/fuzz/fuzzsupport.h"

using namespace qern;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartOnce();
  // Every run reads into the start values, as the program does once.
  InitProgramState();
  Ident.ProgramName = "qern";
  Settings.ConfigFolder = fuzz::WorkFolder();
  fuzz::WriteInput("qern.cfg", data, size);
  ReadConfiguration();
  Flags.AbortFlag = false;
  return 0;
}
