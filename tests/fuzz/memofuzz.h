// The body of the memo fuzz targets: a small table whose memo fields point at blocks 1 to 9, the
// input as its memo file, then reading, appending, replacing, copying and packing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "tests/fuzz/fuzzsupport.h"
#include "tablengine/kelpie.h"

namespace qern::fuzz {

inline int RunMemoInput(const char* target, uint8_t version, const uint8_t* data, size_t size) {
  using namespace qern::kelpie;
  static const bool started = (KelpieStart(), true);
  (void)started;
  const std::string& folder = Folder(target);
  const std::string table = folder + "/t.dbf";
  const std::string memo = MemoFileName(table, version);
  static std::map<uint8_t, std::string> tables;
  std::string& tableBytes = tables[version];
  if (tableBytes.empty()) {
    CreateDbf(table, {{"NAME", 'C', 4, 0}, {"TEXT", 'M', 10, 0}}, false, version);
    Select(1);
    UseDbf(table, "", true);
    for (int i = 0; i < 10; ++i) {
      ClearRecord();
      PutFieldStr(1, std::to_string(i));
      PutFieldInt(2, i);  // memo block i (0: none)
      Append();
    }
    CloseAll();
    tableBytes = ReadFile(table);
  }
  WriteFile(table, tableBytes);
  WriteFile(memo, std::string(reinterpret_cast<const char*>(data), size));
  Select(1);
  try {
    if (UseDbf(table, "", true)) {
      for (uint32_t r = 1; r <= 10; ++r) {
        try {
          GO(r);
          (void)MemoFieldText(2);
          GetMemo(static_cast<int32_t>(FieldInt(2)));
        } catch (const EKelpieError&) {
        }
      }
      try {
        GO(3);
        PutMemoField(2, "ersetzt");
        Replace();
        GO(5);
        PutMemoField(2, std::string(700, 'x'));
        Replace();
        (void)AddMemo("neu");
      } catch (const EKelpieError&) {
      }
      try {
        PackMemofile();
      } catch (const EKelpieError&) {
      }
    }
  } catch (const EKelpieError&) {
  }
  try {
    CloseAll();
  } catch (const EKelpieError&) {
  }
  std::remove(memo.c_str());
  std::remove(ForceExtension(table, "$$$").c_str());
  return 0;
}

}  // namespace qern::fuzz
