// Fuzz target: the NDX index reader (anchor checks, node reads, seek, stepping both ways, walks)
// and key insertion and change on whatever tree the input holds, over a fixed small table.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fuzz/fuzzsupport.h"
#include "tablengine/kelpie.h"

using namespace qern::kelpie;

namespace {

// The table's bytes, made once; every run starts from them.
const std::string& TableBytes(const std::string& folder) {
  static const std::string bytes = [&] {
    const std::string name = folder + "/seed.dbf";
    CreateDbf(name, {{"NAME", 'C', 10, 0}, {"NR", 'N', 6, 0}, {"AM", 'D', 8, 0}});
    Select(1);
    UseDbf(name, "", true);
    for (int i = 1; i <= 60; ++i) {
      ClearRecord();
      PutFieldStr(1, std::string(1, static_cast<char>('A' + i % 26)) + std::to_string(i));
      PutFieldInt(2, (i * 37) % 50);
      PutFieldDate(3, JulianToDate(2451545 + i * 13 % 400));
      Append();
    }
    CloseAll();
    return qern::fuzz::ReadFile(name);
  }();
  return bytes;
}

void Exercise() {
  int steps = 0;
  for (GoTop(); !dEOF() && steps < 200; SKIP(1), ++steps) (void)RecNo();
  for (int i = 0; i < 20 && !dBOF(); ++i) SKIP(-1);
  (void)Seek("C");
  (void)Seek("5");
  (void)SeekNum(7);
  (void)IndexWalk(1);
  ClearRecord();
  PutFieldStr(1, "NEU");
  PutFieldInt(2, 3);
  Append();
  GO(2);
  PutFieldStr(1, "ANDERS");
  PutFieldInt(2, 49);
  Replace();
  SKIP(-1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (KelpieStart(), true);
  (void)started;
  const std::string& folder = qern::fuzz::Folder("ndx");
  const std::string table = folder + "/t.dbf";
  const std::string index = folder + "/i.ndx";
  qern::fuzz::WriteFile(table, TableBytes(folder));
  qern::fuzz::WriteFile(index, std::string(reinterpret_cast<const char*>(data), size));
  Select(1);
  try {
    if (UseDbf(table, "", true) && SetIndexTo(index, 1)) Exercise();
  } catch (const EKelpieError&) {
  }
  try {
    CloseAll();
  } catch (const EKelpieError&) {
  }
  std::remove(index.c_str());
  return 0;
}
