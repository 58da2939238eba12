// Fuzz target: the number and text conversions that take user input (fields, files) and format it again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/utilstr.h"

using namespace qern;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string s(reinterpret_cast<const char*>(data), size);
  const long double x = StrToReal(s);
  (void)FloatStr(x);
  (void)FloatStrFixed(12, 3, x);
  (void)AngleStr(x);
  (void)StrToInteger(s);
  (void)StrToLongint(s);
  (void)AlignLeft(s, 20);
  (void)AlignRight(s, 20);
  (void)UpperStr(s);
  (void)TrimBlanks(s);
  return 0;
}
