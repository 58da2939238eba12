// Fuzz target: any text as tab-separated lines into a sheet (numbers detected), written as a
// workbook into a private temporary folder; and the mount-table reader of the machine layer.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/spreadsheet.h"
#include "platform/machine.h"
#include "tests/fuzz/fuzzsupport.h"

using namespace qern;

namespace {
const char* Folder() { return fuzz::Folder("xlsx").c_str(); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string s(reinterpret_cast<const char*>(data), size);
  (void)FileSystemTypeIn(s, "/");
  std::vector<std::string> lines;
  std::string cur;
  for (char c : s) {
    if (c == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  lines.push_back(cur);
  Worksheet sheet;
  sheet.NumbersAsValues = size % 2 == 0;
  TabbedLinesToSheet(lines, sheet);
  const std::string name = std::string(Folder()) + "/mappe.xlsx";
  std::string error;
  WriteWorkbook(sheet, name, error);
  std::remove(name.c_str());
  return 0;
}
