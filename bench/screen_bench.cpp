// A drawing on the screen (the display list, every block insert replayed) against the same drawing
// as a DXF file, paired in one run: kind 18 (the two wheels) with 1000 teeth, and all 21 kinds of the
// default design. Both sides stay in memory: the DXF file is committed into memory, not to the disk
// (whose syncs made the ratio move with the disk). The counter "vs_dxf" is the ratio of the two
// times, printed beside "goal" (at most 2) and the baseline's time "dxf_ms". The times are the
// process's CPU time (user and system), which a shared machine disturbs less than the clock.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <time.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "drawing/cadbackend.h"
#include "drawing/qernzeich.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/zorqgraf.h"

namespace {

namespace fs = std::filesystem;

// A clock of the process's CPU time for std::chrono.
struct CpuClock {
  using duration = std::chrono::nanoseconds;
  using time_point = std::chrono::time_point<CpuClock>;
  static time_point now() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return time_point(duration(std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec));
  }
};

void ScreenAgainstDxf(benchmark::State& state, int firstKind, int lastKind, int teeth) {
  char pattern[] = "/tmp/qern-bench-screen-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  qern::InitProgramState();
  qern::Settings.TempFolder = dir + "/";
  qern::Settings.ScreenWidth = 1024;
  qern::Settings.ScreenHeight = 768;
  qern::SetDefaultDesign();
  qern::CalculateSerration();
  if (teeth > 0) {
    qern::Design.ToothCount[1] = teeth;
    qern::Design.ToothCount[2] = -teeth;
  }
  qern::Session.CurrentFileName = dir + "/d";
  using Clock = CpuClock;
  Clock::duration screen{}, dxf{};
  bool aborted = false;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int kind = firstKind; kind <= lastKind; ++kind) {
      qern::Flags.AbortFlag = false;
      qern::DrawMenu(qern::CadDeviceScreen, kind);
      aborted = aborted || qern::Flags.AbortFlag;
    }
    const auto t1 = Clock::now();
    qern::Flags.BatchCadOutput = true;
    qern::CadOutputFile::CommitToMemory(true);
    for (int kind = firstKind; kind <= lastKind; ++kind) {
      qern::Flags.AbortFlag = false;
      qern::DrawMenu(qern::CadDeviceDxf, kind);
      aborted = aborted || qern::Flags.AbortFlag;
    }
    qern::CadOutputFile::CommitToMemory(false);
    qern::Flags.BatchCadOutput = false;
    const auto t2 = Clock::now();
    screen += t1 - t0;
    dxf += t2 - t1;
  }
  if (aborted) state.SkipWithError("a drawing did not end");
  const double s = std::chrono::duration<double, std::milli>(screen).count();
  const double d = std::chrono::duration<double, std::milli>(dxf).count();
  state.counters["screen_ms"] = s / state.iterations();
  state.counters["dxf_ms"] = d / state.iterations();
  state.counters["vs_dxf"] = d > 0 ? s / d : 0;
  state.counters["goal"] = 2;
  state.counters["records"] = static_cast<double>(qern::DisplayList.size());
  qern::DisplayList.clear();
  std::error_code ec;
  fs::remove_all(dir, ec);
}

void BM_Kind18WithThousandTeethOnScreenAgainstDxf(benchmark::State& state) {
  ScreenAgainstDxf(state, 18, 18, 1000);
}
BENCHMARK(BM_Kind18WithThousandTeethOnScreenAgainstDxf)->Unit(benchmark::kMillisecond);

void BM_AllKindsOnScreenAgainstDxf(benchmark::State& state) {
  ScreenAgainstDxf(state, 1, qern::DrawingKindCount, 0);
}
BENCHMARK(BM_AllKindsOnScreenAgainstDxf)->Unit(benchmark::kMillisecond);

}  // namespace
