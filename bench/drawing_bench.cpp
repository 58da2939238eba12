// All 21 drawing kinds of the default design written as DXF files, against copying the same
// bytes in the same run (read each written file and write it under another name). The counter
// "vs_copy" is the ratio of the two times; the goal is at most 3.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "framework/progvar.h"

namespace {

namespace fs = std::filesystem;

void CopyBytes(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::ofstream(to, std::ios::binary | std::ios::trunc) << buffer.str();
}

void BM_AllKindsToDxfAgainstCopy(benchmark::State& state) {
  char pattern[] = "/tmp/qern-bench-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  qern::InitProgramState();
  qern::Settings.TempFolder = dir + "/";
  qern::SetDefaultDesign();
  qern::CalculateSerration();
  qern::Flags.BatchCadOutput = true;
  using Clock = std::chrono::steady_clock;
  Clock::duration drawing{}, copying{};
  std::uintmax_t bytes = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int kind = 1; kind <= qern::DrawingKindCount; ++kind) {
      qern::Flags.AbortFlag = false;
      qern::Session.CurrentFileName = dir + "/k" + std::to_string(kind);
      qern::DrawMenu(1, kind);
    }
    const auto t1 = Clock::now();
    bytes = 0;
    for (int kind = 1; kind <= qern::DrawingKindCount; ++kind) {
      const std::string name = dir + "/k" + std::to_string(kind);
      CopyBytes(name + ".dxf", name + ".copy");
      bytes += fs::file_size(name + ".dxf");
    }
    const auto t2 = Clock::now();
    drawing += t1 - t0;
    copying += t2 - t1;
  }
  qern::Flags.BatchCadOutput = false;
  if (qern::Flags.AbortFlag) state.SkipWithError("a drawing was not written");
  const double d = std::chrono::duration<double, std::milli>(drawing).count();
  const double c = std::chrono::duration<double, std::milli>(copying).count();
  state.counters["dxf_ms"] = d / state.iterations();
  state.counters["copy_ms"] = c / state.iterations();
  state.counters["vs_copy"] = c > 0 ? d / c : 0;
  state.counters["bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  std::error_code ec;
  fs::remove_all(dir, ec);
}
BENCHMARK(BM_AllKindsToDxfAgainstCopy)->Unit(benchmark::kMillisecond);

}  // namespace
