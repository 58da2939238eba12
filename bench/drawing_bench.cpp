// All 21 drawing kinds of the default design written as DXF, IGES and CAD text files, each against
// copying the same bytes in the same run (read each written file and write it under another name
// the way an output is written).
// The counter "vs_copy" is the ratio of the two times, printed beside "goal" (at most 3 for each
// format) and the baseline's time "copy_ms".
// Each kind is written and then copied at once, so both sides meet the same state of the caches,
// the allocator and the file system; one untimed round first makes every file and buffer once.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "framework/progvar.h"
#include "platform/workfile.h"

namespace {

namespace fs = std::filesystem;

// Processor time of this process in milliseconds.
double CpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The copy is written the way every output file must be: through a working file beside its name,
// synced to the disk and renamed (ReplaceFileContents), so both sides pay the same for a safe file.
// The bytes are read into a buffer kept from file to file, as the writers keep their texts' room
// (a fresh buffer for each file would have the copy pay for new pages, more or fewer of them as the
// allocator's state happens to be: that made the ratio swing from run to run). The byte count.
std::uintmax_t CopyBytes(const std::string& from, const std::string& to, std::string& buffer) {
  std::ifstream in(from, std::ios::binary);
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return 0;
  in.seekg(0);
  buffer.resize(static_cast<size_t>(size));
  in.read(buffer.data(), size);
  buffer.resize(static_cast<size_t>(in.gcount()));
  qern::ReplaceFileContents(to, buffer);
  return buffer.size();
}

// state.range(0): the device (1 DXF, 2 IGES, 5 CAD text).
void BM_AllKindsAgainstCopy(benchmark::State& state) {
  const int device = static_cast<int>(state.range(0));
  const std::string ext = device == 1 ? ".dxf" : device == 2 ? ".igs" : ".txt";
  // Both sides in memory: the files on a memory file system (/dev/shm where there is one), which
  // leaves out the disk's syncs (on a shared machine they swamp the writers' own work).
  // QERN_BENCH_DIR picks another folder.
  const char* base = std::getenv("QERN_BENCH_DIR");
  std::error_code shm;
  const std::string folder = base && *base                   ? base
                             : fs::is_directory("/dev/shm", shm) ? "/dev/shm"
                                                              : "/tmp";
  std::string pattern = folder + "/qern-bench-XXXXXX";
  const char* made = ::mkdtemp(pattern.data());
  if (!made) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string dir = made;
  qern::InitProgramState();
  qern::Settings.TempFolder = dir + "/";
  qern::SetDefaultDesign();
  qern::CalculateSerration();
  qern::Flags.BatchCadOutput = true;
  using Clock = std::chrono::steady_clock;
  Clock::duration drawing{}, copying{};
  // Each kind's quickest write and copy of the run: what is left when the other programs of a
  // shared machine did not get in the way.
  std::vector<Clock::duration> fastestWrite(qern::DrawingKindCount, Clock::duration::max()),
      fastestCopy(qern::DrawingKindCount, Clock::duration::max());
  double drawingCpu = 0, copyingCpu = 0;
  std::uintmax_t bytes = 0;
  std::string buffer;
  auto writeKind = [&](int kind) {
    qern::Flags.AbortFlag = false;
    qern::Session.CurrentFileName = dir + "/k" + std::to_string(kind);
    qern::DrawMenu(device, kind);
  };
  auto copyKind = [&](int kind) {
    const std::string name = dir + "/k" + std::to_string(kind);
    return CopyBytes(name + ext, name + ".copy", buffer);
  };
  for (int kind = 1; kind <= qern::DrawingKindCount; ++kind) {
    writeKind(kind);
    copyKind(kind);
  }
  for (auto _ : state) {
    bytes = 0;
    for (int kind = 1; kind <= qern::DrawingKindCount; ++kind) {
      const auto t0 = Clock::now();
      const double c0 = CpuMs();
      writeKind(kind);
      const auto t1 = Clock::now();
      const double c1 = CpuMs();
      bytes += copyKind(kind);
      const auto t2 = Clock::now();
      const double c2 = CpuMs();
      drawing += t1 - t0;
      copying += t2 - t1;
      fastestWrite[kind - 1] = std::min(fastestWrite[kind - 1], t1 - t0);
      fastestCopy[kind - 1] = std::min(fastestCopy[kind - 1], t2 - t1);
      drawingCpu += c1 - c0;
      copyingCpu += c2 - c1;
    }
  }
  qern::Flags.BatchCadOutput = false;
  if (qern::Flags.AbortFlag) state.SkipWithError("a drawing was not written");
  const double d = std::chrono::duration<double, std::milli>(drawing).count();
  const double c = std::chrono::duration<double, std::milli>(copying).count();
  state.SetLabel(ext.substr(1));
  state.counters["write_ms"] = d / state.iterations();
  state.counters["copy_ms"] = c / state.iterations();
  state.counters["vs_copy"] = c > 0 ? d / c : 0;
  state.counters["goal"] = 3;
  // The same in processor time: the output files are synced to the disk before they take their
  // names, and on a busy machine the wait for the disk can hide the writer's own work.
  state.counters["write_cpu_ms"] = drawingCpu / state.iterations();
  state.counters["copy_cpu_ms"] = copyingCpu / state.iterations();
  state.counters["cpu_vs_copy"] = copyingCpu > 0 ? drawingCpu / copyingCpu : 0;
  // The sums of the quickest times: the steadiest ratio from run to run.
  Clock::duration fastestD{}, fastestC{};
  for (int k = 0; k < qern::DrawingKindCount; ++k) {
    fastestD += fastestWrite[k];
    fastestC += fastestCopy[k];
  }
  state.counters["min_vs_copy"] =
      fastestC.count() > 0 ? static_cast<double>(fastestD.count()) / fastestC.count() : 0;
  state.counters["bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  std::error_code ec;
  fs::remove_all(dir, ec);
}
BENCHMARK(BM_AllKindsAgainstCopy)->Arg(1)->Arg(2)->Arg(5)->Unit(benchmark::kMillisecond);

}  // namespace
