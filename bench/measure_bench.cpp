// The measuring of a drawing (its extents found before it is written) against the writer's own
// work, before and after in one run: "whole_share" measures every piece unseen (wheels tooth by
// tooth), "share" with stand-ins (wheels of many teeth by their tip circles), each as a part of the
// writer's own time (the output's time without its measuring). Goal: "share" at most 0.05
// ("goal"). One row per device over the 21 kinds of the default design, and kind 7 with 9,999
// teeth as DXF and as IGES, whose ratio ("igs_vs_dxf", goal at most 1.5) is given as written and
// with the whole measuring in place of the stand-ins ("whole_igs_vs_dxf").
// The times are the process's processor time; each kind's quickest of the run counts.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/zorqgraf.h"

namespace {

namespace fs = std::filesystem;

// The process's processor time in milliseconds.
double CpuMs() { return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// The quickest of each kind's writes and measurings over the run.
struct Times {
  std::vector<double> write, measure, whole;
  explicit Times(int kinds)
      : write(kinds, std::numeric_limits<double>::max()), measure(write), whole(write) {}
  static double Sum(const std::vector<double>& v) {
    double s = 0;
    for (double x : v) s += x;
    return s;
  }
};

// A folder on a memory file system for the outputs; the writers in batch mode.
struct Folder {
  Folder() {
    std::error_code ec;
    std::string pattern =
        (fs::is_directory("/dev/shm", ec) ? std::string("/dev/shm") : std::string("/tmp")) +
        "/qern-bench-measure-XXXXXX";
    if (const char* made = ::mkdtemp(pattern.data())) path = made;
    qern::InitProgramState();
    qern::Settings.TempFolder = path + "/";
    qern::Settings.ScreenWidth = 1024;
    qern::Settings.ScreenHeight = 768;
    qern::Flags.BatchCadOutput = true;
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path, ec);
    qern::Flags.BatchCadOutput = false;
    qern::DisplayList.clear();
    qern::SetDefaultDesign();
  }
  std::string path;
};

// One kind on device: its write (with the measuring), the measuring with stand-ins and the whole
// measuring, each kept where it is the quickest so far.
void TimeKind(int device, int kind, const std::string& file, Times& t, size_t slot) {
  qern::Flags.AbortFlag = false;
  qern::Session.CurrentFileName = file;
  double c0 = CpuMs();
  qern::DrawMenu(device, kind);
  double c1 = CpuMs();
  t.write[slot] = std::min(t.write[slot], c1 - c0);
  qern::CadSetDevice(device);
  c0 = CpuMs();
  benchmark::DoNotOptimize(qern::DrawingExtents(kind));
  c1 = CpuMs();
  t.measure[slot] = std::min(t.measure[slot], c1 - c0);
  c0 = CpuMs();
  benchmark::DoNotOptimize(qern::DrawingExtents(kind, true));
  c1 = CpuMs();
  t.whole[slot] = std::min(t.whole[slot], c1 - c0);
  qern::DisplayList.clear();
}

// state.range(0): the device (1 DXF, 2 IGES, 3 screen, 5 CAD text).
void BM_MeasuringAgainstWriter(benchmark::State& state) {
  const int device = static_cast<int>(state.range(0));
  Folder f;
  qern::SetDefaultDesign();
  qern::CalculateSerration();
  Times t(qern::DrawingKindCount);
  for (auto _ : state)
    for (int kind = 1; kind <= qern::DrawingKindCount; ++kind)
      TimeKind(device, kind, f.path + "/k" + std::to_string(kind), t, kind - 1);
  const double write = Times::Sum(t.write), measure = Times::Sum(t.measure),
               whole = Times::Sum(t.whole);
  const double own = write - measure;  // the writer without its measuring
  state.SetLabel(device == 1 ? "dxf" : device == 2 ? "iges" : device == 3 ? "screen" : "txt");
  state.counters["write_ms"] = write;
  state.counters["measure_ms"] = measure;
  state.counters["whole_ms"] = whole;
  state.counters["share"] = own > 0 ? measure / own : 0;
  state.counters["whole_share"] = own > 0 ? whole / own : 0;
  state.counters["goal"] = 0.05;
}
BENCHMARK(BM_MeasuringAgainstWriter)->Arg(1)->Arg(2)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

// Kind 7 with 9,999 teeth as DXF and as IGES.
void BM_ManyTeethIgesAgainstDxf(benchmark::State& state) {
  Folder f;
  qern::SetDefaultDesign();
  qern::Design.ToothCount[1] = 9999;
  qern::Design.ToothCount[2] = -9999;
  qern::CalculateSerration();
  Times t(2);
  for (auto _ : state) {
    TimeKind(qern::CadDeviceDxf, 7, f.path + "/z", t, 0);
    TimeKind(qern::CadDeviceIges, 7, f.path + "/z", t, 1);
  }
  const double dxf = t.write[0], igs = t.write[1];
  // The same outputs with the whole measuring in place of the stand-ins.
  const double dxfWhole = dxf - t.measure[0] + t.whole[0];
  const double igsWhole = igs - t.measure[1] + t.whole[1];
  state.counters["dxf_ms"] = dxf;
  state.counters["igs_ms"] = igs;
  state.counters["measure_ms"] = t.measure[0];
  state.counters["whole_ms"] = t.whole[0];
  state.counters["share"] = dxf > t.measure[0] ? t.measure[0] / (dxf - t.measure[0]) : 0;
  state.counters["whole_share"] = dxf > t.measure[0] ? t.whole[0] / (dxf - t.measure[0]) : 0;
  state.counters["igs_vs_dxf"] = dxf > 0 ? igs / dxf : 0;
  state.counters["whole_igs_vs_dxf"] = dxfWhole > 0 ? igsWhole / dxfWhole : 0;
  state.counters["goal"] = 1.5;
}
BENCHMARK(BM_ManyTeethIgesAgainstDxf)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
