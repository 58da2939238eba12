// Fuzz target: the file overview table over a folder holding the input as a design file, then the
// input's lines as cells (split at "|") sorted by every column and searched for its first line.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/qernstart.h"
#include "design/preview.h"
#include "framework/progvar.h"
#include "tests/fuzz/fuzzsupport.h"

using namespace qern;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    InitProgramState();
    SetProgramIdentity();
    return true;
  }();
  (void)ready;
  const std::string& dir = fuzz::Folder("preview");
  if (dir.empty()) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string design = dir + "/a.qrk";
  std::ofstream(design, std::ios::binary | std::ios::trunc) << input;

  FileOverview table;
  FillFileOverview(table, dir);
  std::istringstream lines(input);
  std::string line;
  bool first = true;
  while (std::getline(lines, line) && table.RowCount() < 200) {
    if (first) table.SearchText = line;
    first = false;
    OverviewRow row;
    std::size_t start = 0;
    for (int c = 0; c < OverviewColumns && start <= line.size(); ++c) {
      const std::size_t bar = line.find('|', start);
      row[c] = line.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
      if (bar == std::string::npos) break;
      start = bar + 1;
    }
    table.Rows.push_back(row);
  }
  table.Selected = table.RowCount() / 2;
  for (int c = 0; c < OverviewColumns; ++c) SortByColumn(table, c);
  for (int r = 0; SearchGrid(table, r) && table.Selected > r;) r = table.Selected;
  std::remove(design.c_str());
  return 0;
}
