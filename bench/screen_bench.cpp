// A drawing on the screen (the display list, every block insert replayed) against the same drawing
// as a DXF file, paired in one run: kind 18 (the two wheels) with 1000 teeth, and all 21 kinds of the
// default design. Both sides stay in memory: the DXF file is committed into memory, not to the disk
// (whose syncs made the ratio move with the disk). The counter "vs_dxf" is the ratio of the two
// times, printed beside "goal" (at most 2) and the baseline's time "dxf_ms". The times are the
// process's CPU time (user and system), which a shared machine disturbs less than the clock. The
// folder for temporary files is an empty one, unchanged for an hour, as the program mostly finds it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

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

// A folder of count empty design files, as last changed an hour ago (a folder of designs made long
// before the program starts in it).
std::string FolderOfDesigns(int count) {
  char pattern[] = "/tmp/qern-bench-folder-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  for (int i = 0; i < count; ++i) {
    const int fd = ::open((dir + "/d" + std::to_string(i) + ".qrk").c_str(),
                          O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) ::close(fd);
  }
  timespec times[2]{};
  ::clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec -= 3600;
  times[1] = times[0];
  ::utimensat(AT_FDCWD, dir.c_str(), times, 0);
  return dir;
}

// The counters of a pair: both times per round (CPU milliseconds), their ratio and its goal.
void PairCounters(benchmark::State& state, const char* side, CpuClock::duration sideTime,
                  const char* base, CpuClock::duration baseTime, const char* ratio, double goal) {
  const double s = std::chrono::duration<double, std::milli>(sideTime).count();
  const double b = std::chrono::duration<double, std::milli>(baseTime).count();
  state.counters[side] = s / state.iterations();
  state.counters[base] = b / state.iterations();
  state.counters[ratio] = b > 0 ? s / b : 0;
  state.counters["goal"] = goal;
}

void ScreenAgainstDxf(benchmark::State& state, int firstKind, int lastKind, int teeth) {
  const std::string dir = FolderOfDesigns(0);
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
  PairCounters(state, "screen_ms", screen, "dxf_ms", dxf, "vs_dxf", 2);
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

// A screen drawing with the folder for temporary files (the folder the program started in, when
// nothing is configured) holding 10^4 designs, against the same drawing in an empty folder, paired
// in one run: kind 7 and all 21 kinds, with the folders as last changed an hour ago and as just
// changed. The counter "vs_empty" is the ratio of the two CPU times, beside "goal" (at most 1.2)
// and the baseline's time "empty_ms".
// justChanged: each folder is changed right before each drawing, as the program's own start (its
// write test there) or a save there does.
void ScreenInAFullFolder(benchmark::State& state, int firstKind, int lastKind,
                         bool justChanged = false) {
  const std::string empty = FolderOfDesigns(0), full = FolderOfDesigns(10000);
  qern::InitProgramState();
  qern::Settings.ScreenWidth = 1024;
  qern::Settings.ScreenHeight = 768;
  qern::SetDefaultDesign();
  qern::CalculateSerration();
  qern::Session.CurrentFileName = empty + "/d";
  auto draw = [&](const std::string& folder, bool& aborted) {
    qern::Settings.TempFolder = folder + "/";
    if (justChanged) {
      const std::string file = folder + "/$qern.tst";
      const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      if (fd >= 0) ::close(fd);
      ::unlink(file.c_str());
    }
    const auto t0 = CpuClock::now();
    for (int kind = firstKind; kind <= lastKind; ++kind) {
      qern::Flags.AbortFlag = false;
      qern::DrawMenu(qern::CadDeviceScreen, kind);
      aborted = aborted || qern::Flags.AbortFlag;
    }
    return CpuClock::now() - t0;
  };
  CpuClock::duration inEmpty{}, inFull{};
  bool aborted = false;
  for (auto _ : state) {
    inEmpty += draw(empty, aborted);
    inFull += draw(full, aborted);
  }
  if (aborted) state.SkipWithError("a drawing did not end");
  PairCounters(state, "full_ms", inFull, "empty_ms", inEmpty, "vs_empty", 1.2);
  qern::DisplayList.clear();
  std::error_code ec;
  fs::remove_all(empty, ec);
  fs::remove_all(full, ec);
}

void BM_Kind7OnScreenInAFolderOfDesigns(benchmark::State& state) {
  ScreenInAFullFolder(state, 7, 7);
}
BENCHMARK(BM_Kind7OnScreenInAFolderOfDesigns)->Unit(benchmark::kMillisecond);

void BM_AllKindsOnScreenInAFolderOfDesigns(benchmark::State& state) {
  ScreenInAFullFolder(state, 1, qern::DrawingKindCount);
}
BENCHMARK(BM_AllKindsOnScreenInAFolderOfDesigns)->Unit(benchmark::kMillisecond);

void BM_Kind7OnScreenInAFolderJustChanged(benchmark::State& state) {
  ScreenInAFullFolder(state, 7, 7, true);
}
BENCHMARK(BM_Kind7OnScreenInAFolderJustChanged)->Unit(benchmark::kMillisecond);

void BM_AllKindsOnScreenInAFolderJustChanged(benchmark::State& state) {
  ScreenInAFullFolder(state, 1, qern::DrawingKindCount, true);
}
BENCHMARK(BM_AllKindsOnScreenInAFolderJustChanged)->Unit(benchmark::kMillisecond);

}  // namespace
