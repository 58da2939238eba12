// Fuzz target: the reader of "$name.dx$" block files (the user's own files too), replayed on the
// screen device; the input inserts itself when it names the block "fuzz".
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "drawing/cadscreen.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/zorqgraf.h"
#include "tests/fuzz/fuzzsupport.h"

using namespace qern;

namespace {
std::string g_folder;

bool Init() {
  InitProgramState();
  g_folder = fuzz::Folder("dxblock");
  Settings.TempFolder = g_folder + "/";
  Settings.ScreenWidth = 1024;
  Settings.ScreenHeight = 768;
  Flags.ErrorBoxesEnabled = false;  // messages would only slow the run down
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = Init();
  (void)ready;
  {
    std::ofstream out(g_folder + "/$fuzz.dx$", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  Flags.AbortFlag = false;
  CadBeginOutput(CadDeviceScreen);
  CadInsertBlock("FUZZ", 1, 2, 30, 1.5L, 0.5L);
  // Inside a block definition of ours the user block is kept as an insert and replayed later.
  CadBeginBlocks();
  CadBeginBlock("outer");
  CadInsertBlock("fuzz", 0, 0, 0, 1, 1);
  CadEndBlock();
  CadEndSection();
  CadInsertBlock("outer", 0, 0, 45, 2, 2);
  CadEndOutput();
  DisplayList.clear();
  ResetErrors();
  ClearErrorList();
  return 0;
}
