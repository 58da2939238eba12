// A listing as "wqern d.qrk /I" makes it (the design read and calculated, the listing written as a
// TXT file) of a design with 10,000 change-log entries against the same design with none, paired
// in one run. The log keeps 25 entries; the rest are dropped while the file is read. The counter
// "vs_none" is the ratio of the two CPU times, beside the baseline's time "none_ms".
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/qernstart.h"
#include "design/aendvar.h"
#include "design/qernaus1.h"
#include "design/qernfile.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "framework/progvar.h"

namespace {

namespace fs = std::filesystem;

double CpuMilliseconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The default design with entries change-log entries, written as name.
void WriteDesignWithChanges(const std::string& name, int entries) {
  qern::SetDefaultDesign();
  qern::DesignFileContent content = qern::CurrentDesignContent();
  content.Info.ChangeCount = 1;
  content.Info.ChangeEntries[0] = {"Aenderung-A", "01.01.2026", "Bearbeiter", "Beschreibung\nzwei"};
  qern::WriteDesignFile(name, content);
  std::ifstream in(name, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The entry's five lines, and the count line two lines before them.
  const std::size_t entry = text.find("Aenderung-A");
  std::size_t end = entry;
  for (int i = 0; i < 5; ++i) end = text.find('\n', end) + 1;
  const std::size_t dashes = text.rfind('\n', entry - 2) + 1;
  const std::size_t count = text.rfind('\n', dashes - 2) + 1;
  const std::string lineEnd = text.substr(dashes - 2, 1) == "\r" ? "\r\n" : "\n";
  std::string repeated;
  for (int i = 0; i < entries; ++i) repeated += text.substr(entry, end - entry);
  text = text.substr(0, count) + std::to_string(entries) + lineEnd +
         text.substr(dashes, entry - dashes) + repeated + text.substr(end);
  std::ofstream(name, std::ios::binary | std::ios::trunc) << text;
}

void BM_ListingWithTenThousandChangesAgainstNone(benchmark::State& state) {
  char pattern[] = "/tmp/qern-bench-listing-XXXXXX";
  const std::string dir = ::mkdtemp(pattern);
  const fs::path back = fs::current_path();
  fs::current_path(dir);
  qern::InitProgramState();
  qern::SetProgramIdentity();
  WriteDesignWithChanges(dir + "/many.qrk", 10000);
  WriteDesignWithChanges(dir + "/none.qrk", 0);
  qern::Settings.AskTextDevice = false;
  qern::Settings.DefaultTextDevice = 9;
  bool failed = false;
  auto list = [&](const char* name) {
    const double start = CpuMilliseconds();
    qern::Session.CurrentFileName = name;
    qern::Session.CurrentFileFolder = dir + "/";
    qern::ReadDataFile(name);
    failed = failed || qern::Flags.AbortFlag;
    qern::ListResults(0);
    failed = failed || qern::Flags.AbortFlag;
    return CpuMilliseconds() - start;
  };
  double many = 0, none = 0;
  for (auto _ : state) {
    many += list("many");
    none += list("none");
  }
  if (failed || qern::DrawingInfo.ChangeCount != 0) state.SkipWithError("a listing failed");
  list("many");
  if (qern::DrawingInfo.ChangeCount != qern::MaxChangeEntries)
    state.SkipWithError("the log was not read");
  state.counters["many_ms"] = many / state.iterations();
  state.counters["none_ms"] = none / state.iterations();
  state.counters["vs_none"] = none > 0 ? many / none : 0;
  fs::current_path(back);
  fs::remove_all(dir);
}
BENCHMARK(BM_ListingWithTenThousandChangesAgainstNone)->Unit(benchmark::kMillisecond);

}  // namespace
