// A gear of 100 teeth drawn as blocks (tooth, gear of 100 tooth inserts, two gear inserts) through
// the CAD layer: on the screen, where every insert replays a block file, and as a DXF file.
// Goal: the screen drawing within 100 ms, so a recalculation redraws at once.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "framework/zorqgraf.h"

namespace {

constexpr int kTeeth = 100;

void GearDrawing(int device) {
  qern::Flags.AbortFlag = false;
  qern::CadBeginOutput(device);
  qern::CadSetPen(0);
  qern::CadBeginDrawing(-60, -60, 60, 60);
  qern::CadTables();
  qern::CadBeginBlocks();
  qern::CadBeginBlock("zahn1");
  qern::CadSetPen(5);
  qern::CadPolylineBegin(0);
  qern::CadVertex(-1.2L, 50, -0.05L);
  qern::CadVertex(-1.0L, 47, 0);
  qern::CadVertex(-1.0L, 45, 0.9L);
  qern::CadVertex(1.0L, 45, 0);
  qern::CadVertex(1.0L, 47, -0.05L);
  qern::CadVertex(1.2L, 50, 0);
  qern::CadPolylineEnd();
  qern::CadSetPen(1);
  qern::CadLine(0, 44, 0, 51);
  qern::CadEndBlock();
  qern::CadBeginBlock("rad1");
  for (int i = 1; i <= kTeeth; ++i) qern::CadInsertBlock("zahn1", 0, 0, 360.0L * i / kTeeth, 1, 1);
  qern::CadEndBlock();
  qern::CadEndSection();
  qern::CadBeginEntities();
  qern::CadInsertBlock("RAD1", 0, 0, 0, 1, 1);
  qern::CadInsertBlock("RAD1", 0, 0, 1.8L, 1.05L, 1.05L);
  qern::CadEndSection();
  qern::SetPrintPreset(3);
  qern::CadEndOutput();
}

struct Folder {
  Folder() {
    char tmpl[] = "/tmp/qern-bench-cad-XXXXXX";
    path = mkdtemp(tmpl);
    qern::Settings.TempFolder = path + "/";
    qern::Session.CurrentFileName = path + "/gear";
    qern::Flags.BatchCadOutput = true;
    qern::Settings.ScreenWidth = 1024;
    qern::Settings.ScreenHeight = 768;
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    qern::Flags.BatchCadOutput = false;
  }
  std::string path;
};

void BM_GearOnScreen(benchmark::State& state) {
  Folder f;
  for (auto _ : state) GearDrawing(qern::CadDeviceScreen);
  state.counters["records"] = static_cast<double>(qern::DisplayList.size());
  qern::DisplayList.clear();
}
BENCHMARK(BM_GearOnScreen)->Unit(benchmark::kMillisecond);

void BM_GearAsDxf(benchmark::State& state) {
  Folder f;
  for (auto _ : state) GearDrawing(qern::CadDeviceDxf);
}
BENCHMARK(BM_GearAsDxf)->Unit(benchmark::kMillisecond);

}  // namespace
