// Fuzz target: the FPT memo reader and writer (big-endian header and memo heads, any block size).
#include "memofuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return qern::fuzz::RunMemoInput("fpt", 0xF5, data, size);
}
