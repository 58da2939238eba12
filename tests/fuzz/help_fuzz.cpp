// Fuzz target: the help-file reader (qern.hlp and zorquan.hlp) and the help display.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/help.h"
#include "framework/progvar.h"
#include "tests/fuzz/fuzzsupport.h"

using namespace qern;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartOnce();
  Settings.PltFolder = fuzz::WorkFolder();
  fuzz::WriteInput("qern.hlp", data, size);
  fuzz::WriteInput("zorquan.hlp", data, size);
  // Looked up: the number of the input's first header (the maker's file below 4000) and an entry
  // of the program's own file.
  const std::string text(reinterpret_cast<const char*>(data), size);
  int number = -1;
  std::string picture;
  ParseHelpHeader(text.substr(0, text.find('\n')), number, picture);
  (void)GetHelpText(number < 0 ? 1000 : number);
  ShowHelpEntry(5110, "", 0);
  return 0;
}
