// Pictures per second of the HP-GL reader: the start picture (about 700 points in encoded
// polylines) and the pin-measurement help picture (plain pen moves, circles, labels), read into
// the display list. A help button must draw its picture without a noticeable pause.
#include <benchmark/benchmark.h>

#include <string>

#include "framework/hbild.h"
#include "framework/progvar.h"
#include "framework/zorqdraw.h"
#include "framework/zorqgraf.h"

namespace {

void ReadPicture(benchmark::State& state, const char* name) {
  qern::InitProgramState();
  std::string data;
  if (!qern::ReadPlotFileBytes(std::string(QERN_BENCH_DATA) + "/" + name, data)) {
    state.SkipWithError("picture not found");
    return;
  }
  qern::TDrawDevice device;
  qern::DrawDevice = &device;
  for (auto _ : state) {
    device.ClearDevice();
    qern::DrawPlotData(data);
    benchmark::DoNotOptimize(qern::DisplayList.size());
  }
  state.counters["records"] = double(qern::DisplayList.size());
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
  qern::DrawDevice = nullptr;
}

void BM_StartPicture(benchmark::State& state) { ReadPicture(state, "start.plt"); }
BENCHMARK(BM_StartPicture);

void BM_PinPicture(benchmark::State& state) { ReadPicture(state, "qmessr.plt"); }
BENCHMARK(BM_PinPicture);

}  // namespace
