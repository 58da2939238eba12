// Fuzz target: the DBF table opener and record reader (header, field descriptors, records, typed
// record) over a table file in a private temporary folder, with a rewrite and an append.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tablengine/kelpie.h"
#include "tests/fuzz/fuzzsupport.h"

using namespace qern::kelpie;

namespace {

const std::string& Folder() { return qern::fuzz::Folder("dbf"); }

void Exercise() {
  int records = 0;
  for (GoTop(); !dEOF() && records < 64; SKIP(1), ++records) {
    for (int n = 1; n <= FieldCount(); ++n) {
      (void)FieldToStr(n);
      (void)FieldToUtf8(n);
      (void)FieldNum(n);
      (void)FieldDate(n);
      (void)Peek(n, RecNo());
    }
    (void)Peek(0, RecNo());
  }
  SKIP(-1);
  if (RecCount() > 0 && ALock()) {
    GO(1);
    if (FieldCount() > 0) PutFieldStr(1, "1");
    Replace();
    Append();
    ClearRecord();
    Append();
    Unlock();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (Folder().empty()) return 0;
  const std::string name = Folder() + "/t.dbf";
  if (FILE* f = std::fopen(name.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  Select(1);
  try {
    if (UseDbf(name)) Exercise();
  } catch (const EKelpieError&) {
  }
  try {
    CloseAll();
  } catch (const EKelpieError&) {
  }
  std::remove(name.c_str());
  return 0;
}
