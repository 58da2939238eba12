// Fuzz target: the print presets' table access over any file found as "printout.dbf": opening with
// the write check, positioning, the preset fields read and written, an append under the table lock.
// Nothing may escape as an exception; every failure ends as an error code and AbortFlag.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/progvar.h"
#include "tablengine/dbfaccess.h"
#include "tablengine/kelpie.h"
#include "tests/fuzz/fuzzsupport.h"

using namespace qern;

namespace {

const std::string& Folder() { return qern::fuzz::Folder("preset"); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (Folder().empty()) return 0;
  const std::string name = Folder() + "/printout.dbf";
  if (FILE* f = std::fopen(name.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  InitProgramState();
  Flags.ErrorBoxesEnabled = false;  // messages would only fill the log
  Settings.DbfFolder = Settings.TempFolder = Settings.PrintPresetFolder = Folder() + "/";
  OpenPrintoutTable();
  if (!Flags.AbortFlag) {
    DbfGoRecord(size > 0 ? data[0] % 5 : 0);
    for (int n = 1; n <= 5; ++n) (void)DbfFieldStr(n);
    for (const char* f : {"landscape", "monochrom", "variable", "borderline"}) (void)DbfGetBool(f);
    DbfPutStr("name", "Fuzz Ü");
    DbfPutFloat("xscale", 0.5);
    DbfPutInt("xorigin", -3);
    DbfPutBool("landscape", true);
    DbfAppendRecord();
  }
  DbfCloseTable();
  kelpie::CloseAll();
  std::remove(name.c_str());
  return 0;
}
