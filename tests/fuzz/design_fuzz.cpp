// Fuzz target: the design-file reader, with the calculation it runs after a complete read.
#include <cstddef>
#include <cstdint>

#include "app/qernstart.h"
#include "design/aendvar.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "framework/dokuconf.h"
#include "framework/progvar.h"
#include "tests/fuzz/fuzzsupport.h"

using namespace qern;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    InitProgramState();
    SetProgramIdentity();
    fuzz::UseQuietDialogs();
    return true;
  }();
  (void)ready;
  SetDefaultDesign();
  InitDrawingInfo();
  InitDocumentLinks();
  Flags.ErrorBoxesEnabled = false;
  ReadDataFile(fuzz::WriteInput("input.qrk", data, size));
  return 0;
}
