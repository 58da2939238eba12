// The file overview table over a folder of 10,000 designs: every file read and calculated into
// its row, and the overview window made over the rows. Goal: at most 1 s for the whole table.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/qernstart.h"
#include "bench/benchapp.h"
#include "design/preview.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "design/qt/previewwindow.h"
#include "framework/progvar.h"

namespace {

namespace fs = std::filesystem;

constexpr int DesignCount = 10000;

// A folder of DesignCount designs of varied tooth count, module and profile shift; removed at exit.
const std::string& DesignFolder() {
  static std::string folder;
  if (!folder.empty()) return folder;
  char tmpl[] = "/tmp/qern-bench-XXXXXX";
  folder = mkdtemp(tmpl);
  std::atexit([] { fs::remove_all(folder); });
  qern::InitProgramState();
  qern::SetProgramIdentity();
  qern::SetDefaultDesign();
  qern::DesignFileContent content = qern::CurrentDesignContent();
  for (int i = 0; i < DesignCount; ++i) {
    qern::SetDefaultDesign(content.Record);
    const int z = 10 + i % 90;
    content.Record.ToothCount[1] = z;
    content.Record.ToothCount[2] = -z;
    content.Record.NormalModule = 0.5L + (i % 37) * 0.05L;
    content.Record.XInputMode[1] = 1;
    content.Record.ProfileShift[1] = -0.3L + (i % 13) * 0.05L;
    content.Number[1] = "W-" + std::to_string(i);
    qern::WriteDesignFile(folder + "/d" + std::to_string(i) + ".qrk", content);
  }
  return folder;
}

void BM_FileOverview10000Designs(benchmark::State& state) {
  const std::string& folder = DesignFolder();
  qern::bench::EnsureApplication();
  for (auto _ : state) {
    qern::FileOverview table;
    qern::FillFileOverview(table, folder);
    qern::TForm_preview window(table, {});
    benchmark::DoNotOptimize(table.Rows.data());
    if (table.RowCount() != DesignCount + 1) state.SkipWithError("rows missing");
  }
  state.SetItemsProcessed(state.iterations() * DesignCount);
}
BENCHMARK(BM_FileOverview10000Designs)->Unit(benchmark::kMillisecond);

}  // namespace
