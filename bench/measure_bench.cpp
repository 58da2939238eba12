// What finding a drawing's extents costs each writer, before and after in one run: every output
// of the 21 kinds of the default design written three ways (the drawing's extents found by
// watching it as it is drawn, as the program does; by measuring it unseen first, the earlier way;
// and not at all, the kind's room as it stands), each way's cost given as a part of the writer's
// time without it: "share" watched (goal at most 0.05, "goal"), "before_share" measured first.
// A second row: kind 7 with 9,999 teeth as DXF and as IGES, whose ratio "igs_vs_dxf" (goal at most
// 1.5) is given as written now and with the extents measured first ("before_igs_vs_dxf").
// The times are the process's processor time; each kind's quickest of the run counts.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "framework/progvar.h"
#include "framework/zorqgraf.h"

namespace {

namespace fs = std::filesystem;
using qern::ExtentsWay;

// The process's processor time in milliseconds.
double CpuMs() { return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

constexpr std::array<ExtentsWay, 3> kWays = {ExtentsWay::Watched, ExtentsWay::MeasuredFirst,
                                             ExtentsWay::RoomOnly};

// The quickest write of each kind over the run, for each way.
struct Times {
  std::array<std::vector<double>, 3> write;
  explicit Times(int kinds) { write.fill(std::vector<double>(kinds, std::numeric_limits<double>::max())); }
  double Sum(size_t way) const {
    double s = 0;
    for (double x : write[way]) s += x;
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
    qern::DrawingExtentsWay = ExtentsWay::Watched;
    qern::DisplayList.clear();
    qern::SetDefaultDesign();
  }
  std::string path;
};

// One write of a kind, each way through a function of its own, so that an instruction count
// (callgrind's inclusive cost of each) tells the ways apart.
[[gnu::noinline]] void WriteWatched(int device, int kind) { qern::DrawMenu(device, kind); }
[[gnu::noinline]] void WriteMeasuredFirst(int device, int kind) { qern::DrawMenu(device, kind); }
[[gnu::noinline]] void WriteRoomOnly(int device, int kind) { qern::DrawMenu(device, kind); }
constexpr std::array<void (*)(int, int), 3> kWrites = {WriteWatched, WriteMeasuredFirst,
                                                        WriteRoomOnly};

// One kind on device, written each way, the first way turning with round (each way comes first
// as often as the others); each time kept where it is the quickest so far.
void TimeKind(int device, int kind, const std::string& file, Times& t, size_t slot, size_t round) {
  for (size_t turn = 0; turn < kWays.size(); ++turn) {
    const size_t way = (turn + round) % kWays.size();
    qern::DrawingExtentsWay = kWays[way];
    qern::Flags.AbortFlag = false;
    qern::Session.CurrentFileName = file;
    const double c0 = CpuMs();
    kWrites[way](device, kind);
    const double c1 = CpuMs();
    t.write[way][slot] = std::min(t.write[way][slot], c1 - c0);
    qern::DisplayList.clear();
  }
  qern::DrawingExtentsWay = ExtentsWay::Watched;
}

// Every kind of the current design on device, written each way over the benchmark's rounds; the
// three ways' sums of the quickest times as counters, and the label of the device.
Times ExtentsRow(benchmark::State& state, int device, const Folder& f) {
  Times t(qern::DrawingKindCount);
  size_t round = 0;
  for (auto _ : state) {
    for (int kind = 1; kind <= qern::DrawingKindCount; ++kind)
      TimeKind(device, kind, f.path + "/k" + std::to_string(kind), t, kind - 1, round);
    ++round;
  }
  state.SetLabel(device == 1 ? "dxf" : device == 2 ? "iges" : device == 3 ? "screen" : "txt");
  state.counters["watched_ms"] = t.Sum(0);
  state.counters["before_ms"] = t.Sum(1);
  state.counters["bare_ms"] = t.Sum(2);
  return t;
}

// state.range(0): the device (1 DXF, 2 IGES, 3 screen, 5 CAD text).
void BM_ExtentsAgainstWriter(benchmark::State& state) {
  Folder f;
  qern::SetDefaultDesign();
  qern::CalculateSerration();
  const Times t = ExtentsRow(state, static_cast<int>(state.range(0)), f);
  const double watched = t.Sum(0), first = t.Sum(1), bare = t.Sum(2);
  state.counters["share"] = bare > 0 ? (watched - bare) / bare : 0;
  state.counters["before_share"] = bare > 0 ? (first - bare) / bare : 0;
  state.counters["goal"] = 0.05;
}
BENCHMARK(BM_ExtentsAgainstWriter)->Arg(1)->Arg(2)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);
// The same for counting instructions (callgrind's inclusive costs of WriteWatched and
// WriteRoomOnly per drawing, "share" their difference against the latter): every kind written
// each way once beforehand, not through those functions (the one-off costs of a first drawing left
// out), then a fixed count of rounds, the same work in every run.
void BM_ExtentsAgainstWriterCounted(benchmark::State& state) {
  Folder f;
  qern::SetDefaultDesign();
  qern::CalculateSerration();
  const int device = static_cast<int>(state.range(0));
  for (int kind = 1; kind <= qern::DrawingKindCount; ++kind)
    for (const ExtentsWay way : kWays) {
      qern::DrawingExtentsWay = way;
      qern::Flags.AbortFlag = false;
      qern::Session.CurrentFileName = f.path + "/k" + std::to_string(kind);
      qern::DrawMenu(device, kind);
      qern::DisplayList.clear();
    }
  qern::DrawingExtentsWay = ExtentsWay::Watched;
  ExtentsRow(state, device, f);
}
BENCHMARK(BM_ExtentsAgainstWriterCounted)
    ->Arg(1)->Arg(2)->Arg(3)->Arg(5)
    ->Iterations(16)
    ->Unit(benchmark::kMillisecond);

// The same for a design whose parts overlap (twenty teeth, both radial clearances negative), whose
// drawings of six kinds reach past their rooms: "vs_before" is the watched way's time against the
// earlier way's, measured first (the quickest of the run: a drawing drawn again).
void BM_ExtentsOfOverlappingPartsAgainstWriter(benchmark::State& state) {
  Folder f;
  qern::SetDefaultDesign();
  qern::Design.ToothCount = {0, 20, -20};
  qern::Design.MajorDiameterInput = qern::Design.MinorDiameterInput = 1;
  qern::Design.TipDiameterInput[1] = 14.9L;
  qern::Design.RootDiameterInput[2] = 12.9L;
  qern::Design.TipDiameterInput[2] = 11.3L;
  qern::Design.RootDiameterInput[1] = 13.3L;
  qern::CalculateSerration();
  const Times t = ExtentsRow(state, static_cast<int>(state.range(0)), f);
  state.counters["vs_before"] = t.Sum(1) > 0 ? t.Sum(0) / t.Sum(1) : 0;
}
BENCHMARK(BM_ExtentsOfOverlappingPartsAgainstWriter)->Arg(1)->Arg(5)->Unit(benchmark::kMillisecond);

// Kind 7 with 9,999 teeth as DXF and as IGES.
void BM_ManyTeethIgesAgainstDxf(benchmark::State& state) {
  Folder f;
  qern::SetDefaultDesign();
  qern::Design.ToothCount[1] = 9999;
  qern::Design.ToothCount[2] = -9999;
  qern::CalculateSerration();
  Times dxf(1), igs(1);
  size_t round = 0;
  for (auto _ : state) {
    TimeKind(qern::CadDeviceDxf, 7, f.path + "/z", dxf, 0, round);
    TimeKind(qern::CadDeviceIges, 7, f.path + "/z", igs, 0, round);
    ++round;
  }
  state.counters["dxf_ms"] = dxf.Sum(0);
  state.counters["igs_ms"] = igs.Sum(0);
  state.counters["share"] = dxf.Sum(2) > 0 ? (dxf.Sum(0) - dxf.Sum(2)) / dxf.Sum(2) : 0;
  state.counters["before_share"] = dxf.Sum(2) > 0 ? (dxf.Sum(1) - dxf.Sum(2)) / dxf.Sum(2) : 0;
  state.counters["igs_vs_dxf"] = dxf.Sum(0) > 0 ? igs.Sum(0) / dxf.Sum(0) : 0;
  state.counters["before_igs_vs_dxf"] = dxf.Sum(1) > 0 ? igs.Sum(1) / dxf.Sum(1) : 0;
  state.counters["goal"] = 1.5;
}
BENCHMARK(BM_ManyTeethIgesAgainstDxf)->Iterations(6)->Unit(benchmark::kMillisecond);

}  // namespace
