// Fuzz target: the message-help reader (qern.err): lookup, cause and remedy.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/progvar.h"
#include "framework/uhelperr.h"
#include "tests/fuzz/fuzzsupport.h"

using namespace qern;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::StartOnce();
  Settings.PltFolder = fuzz::WorkFolder();
  fuzz::WriteInput("qern.err", data, size);
  // Looked up: the input's second line, a message of the calculation, and the first line as a
  // message of the list.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::size_t end1 = text.find('\n');
  const std::string first = text.substr(0, end1);
  const std::string second = end1 == std::string::npos ? "" : text.substr(end1 + 1, text.find('\n', end1 + 1) - end1 - 1);
  std::string cause, remedy;
  FindErrorHelp(second, cause, remedy);
  FindErrorHelp("Warnung: x > 1.5   (1) !", cause, remedy);
  // Cause and remedy of a listed message, as the listing asks for them.
  ResetErrors();
  AddError(first);
  Flags.AbortFlag = false;
  GetErrorCause(1, cause);
  GetErrorRemedy(1, remedy);
  return 0;
}
