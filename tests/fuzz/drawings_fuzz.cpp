// Fuzz target: a design file as read from disk, then drawn as DXF (sheet, Quick 3, Quick 4 and
// both wheels), so odd but readable designs cannot crash or hang the drawings.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "design/qernio.h"
#include "drawing/qernzeich.h"
#include "framework/progvar.h"
#include "tests/fuzz/fuzzsupport.h"

using namespace qern;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string& dir = fuzz::Folder("drawings");
  const std::string design = dir + "/d.qrk";
  std::ofstream(design, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  Flags.ErrorBoxesEnabled = false;
  Flags.AbortFlag = false;
  ReadDataFile(design);
  if (!Flags.AbortFlag && !Flags.FatalError) {
    Settings.TempFolder = dir + "/";
    Flags.BatchCadOutput = true;
    for (int kind : {5, 14, 15, 18}) {
      Flags.AbortFlag = false;
      Session.CurrentFileName = dir + "/out";
      DrawMenu(1, kind);
    }
    Flags.BatchCadOutput = false;
  }
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) std::filesystem::remove(e.path(), ec);
  return 0;
}
