// Fuzz target: the DBT memo reader and writer; every input is tried as a dBase III and as a
// dBase IV memo file (with its free chain).
#include "memofuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qern::fuzz::RunMemoInput("dbt3", 0x83, data, size);
  return qern::fuzz::RunMemoInput("dbt4", 0x8B, data, size);
}
