// The file overview table over a folder of 10^4 and 10^5 designs (saved on one day, or on random
// days of half a year as a real folder's are), against reading the same files, side by side in
// one run: each round lists the folder and reads every file whole (the baseline), then makes the
// table (every file read and calculated into its row) and the overview window over it. Counters:
// the best time of each in milliseconds, "ratio" = table / reading, beside its goal.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/qernstart.h"
#include "app/qt/qernu.h"
#include "bench/benchapp.h"
#include "design/preview.h"
#include "design/qerncalc.h"
#include "design/qernio.h"
#include "design/qernvar.h"
#include "design/qt/previewwindow.h"
#include "framework/progvar.h"

namespace {

namespace fs = std::filesystem;

constexpr int VariedDesigns = 10000;
constexpr double GoalRatio = 2.0;
constexpr int HalfAYear = 182;

// The bytes of VariedDesigns designs of varied tooth count, module and profile shift.
const std::vector<std::string>& DesignTexts() {
  static std::vector<std::string> texts;
  if (!texts.empty()) return texts;
  char tmpl[] = "/tmp/qern-bench-XXXXXX";
  const std::string folder = mkdtemp(tmpl);
  qern::InitProgramState();
  qern::SetProgramIdentity();
  qern::SetDefaultDesign();
  qern::DesignFileContent content = qern::CurrentDesignContent();
  for (int i = 0; i < VariedDesigns; ++i) {
    qern::SetDefaultDesign(content.Record);
    const int z = 10 + i % 90;
    content.Record.ToothCount[1] = z;
    content.Record.ToothCount[2] = -z;
    content.Record.NormalModule = 0.5L + (i % 37) * 0.05L;
    content.Record.XInputMode[1] = 1;
    content.Record.ProfileShift[1] = -0.3L + (i % 13) * 0.05L;
    content.Number[1] = "W-" + std::to_string(i);
    // Saved as the program saves a design: calculated, so its pin diameters and results are filled.
    qern::ErrorListRecord messages;
    bool fatal = false;
    qern::CalculateSerration(content.Record, messages, fatal);
    const std::string name = folder + "/d.qrk";
    qern::WriteDesignFile(name, content);
    std::ifstream in(name, std::ios::binary);
    texts.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  fs::remove_all(folder);
  return texts;
}

// A folder of count designs (the varied ones over and over), saved on random days of the last
// `days` days at random times of day (days = 1: all just written); removed at exit.
const std::string& DesignFolder(int count, int days) {
  static std::map<std::pair<int, int>, std::string> folders;
  std::string& folder = folders[{count, days}];
  if (!folder.empty()) return folder;
  const std::vector<std::string>& texts = DesignTexts();
  char tmpl[] = "/tmp/qern-bench-XXXXXX";
  folder = mkdtemp(tmpl);
  static bool cleanup = (std::atexit([] {
                           for (const auto& [n, f] : folders) fs::remove_all(f);
                         }),
                         true);
  (void)cleanup;
  std::mt19937 random(count);
  const std::time_t now = std::time(nullptr);
  for (int i = 0; i < count; ++i) {
    const std::string& t = texts[i % texts.size()];
    const std::string name = folder + "/d" + std::to_string(i) + ".qrk";
    std::ofstream(name, std::ios::binary).write(t.data(), static_cast<std::streamsize>(t.size()));
    if (days <= 1) continue;
    const std::time_t saved = now - static_cast<std::time_t>(random() % days) * 86400 -
                              static_cast<std::time_t>(random() % 86400);
    const timespec both[2] = {{saved, 0}, {saved, 0}};
    ::utimensat(AT_FDCWD, name.c_str(), both, 0);
  }
  return folder;
}

// The baseline: the folder listed and every design file read whole into a buffer kept from file to
// file, the least any overview of the files must do. The bytes read.
std::size_t ReadEveryFile(const std::string& folder) {
  static std::vector<char> buffer(1 << 16);
  std::size_t bytes = 0;
  for (const std::string& name : qern::FindDesignFiles(folder)) {
    const int fd = ::open((folder + "/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;) bytes += n;
    ::close(fd);
  }
  return bytes;
}

template <class F>
double MillisecondsOf(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// state.range(0): the number of designs, state.range(1): the days they were saved on.
void BM_FileOverviewAgainstReading(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::string& folder = DesignFolder(count, static_cast<int>(state.range(1)));
  qern::bench::EnsureApplication();
  double bestRead = std::numeric_limits<double>::infinity(), bestTable = bestRead;
  double bestWindow = bestRead;
  for (auto _ : state) {
    std::size_t bytes = 0;
    const double read = MillisecondsOf([&] { bytes = ReadEveryFile(folder); });
    int rows = 0;
    double window = 0;
    const double table = MillisecondsOf([&] {
      qern::FileOverview overview;
      qern::FillFileOverview(overview, folder);
      window = MillisecondsOf([&] { qern::TForm_preview form(overview, {}); });
      rows = overview.RowCount();
      benchmark::DoNotOptimize(overview.Rows.data());
    });
    if (rows != count + 1 || bytes == 0) state.SkipWithError("rows missing");
    bestRead = std::min(bestRead, read);
    bestTable = std::min(bestTable, table);
    bestWindow = std::min(bestWindow, window);
    state.SetIterationTime(table / 1e3);
  }
  state.counters["table_ms"] = bestTable;
  state.counters["window_ms"] = bestWindow;  // of the table's time: the window over the rows
  state.counters["read_ms"] = bestRead;
  state.counters["ratio"] = bestRead > 0 ? bestTable / bestRead : 0;
  state.counters["goal"] = GoalRatio;
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_FileOverviewAgainstReading)
    ->ArgNames({"designs", "days"})
    ->Args({10000, 1})
    ->Args({10000, HalfAYear})
    ->Args({100000, HalfAYear})
    ->Iterations(5)  // the best of five rounds of each side
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The program's own Open (Table) in the main window against reading the same files, side by side
// in one run: the folder scanned with the file being read shown in the window's title, the
// overview window made, shown and closed. Run on a real X display (bench/preview_xvfb.sh runs it on
// Xvfb with the xcb platform), where each title is a round trip to the display server; offscreen
// the title costs nothing. Counters as above: "ratio" = main window / reading, beside its goal.
void BM_OpenTableInTheMainWindowAgainstReading(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::string& folder = DesignFolder(count, static_cast<int>(state.range(1)));
  qern::bench::EnsureApplication();
  qern::InitProgramState();
  qern::SetProgramIdentity();
  qern::SetDefaultDesign();
  qern::Thh window(false);
  window.show();
  QApplication::processEvents();
  // The overview window is closed as soon as it shows (a repeating timer fires only in its loop).
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [] {
    if (auto* form = qobject_cast<qern::TForm_preview*>(QApplication::activeModalWidget()))
      form->close();
  });
  closer.start(0);
  double bestRead = std::numeric_limits<double>::infinity(), bestOpen = bestRead;
  for (auto _ : state) {
    std::size_t bytes = 0;
    const double read = MillisecondsOf([&] { bytes = ReadEveryFile(folder); });
    qern::Session.CurrentFileFolder = folder + "/";
    qern::Flags.DesignModified = false;
    const double open = MillisecondsOf([&] { window.mi_fileOpenTableClick(); });
    if (bytes == 0) state.SkipWithError("no files read");
    bestRead = std::min(bestRead, read);
    bestOpen = std::min(bestOpen, open);
    state.SetIterationTime(open / 1e3);
  }
  closer.stop();
  state.counters["open_ms"] = bestOpen;
  state.counters["read_ms"] = bestRead;
  state.counters["ratio"] = bestRead > 0 ? bestOpen / bestRead : 0;
  state.counters["goal"] = GoalRatio;
  state.SetLabel(QGuiApplication::platformName().toStdString());
}
BENCHMARK(BM_OpenTableInTheMainWindowAgainstReading)
    ->ArgNames({"designs", "days"})
    ->Args({10000, 1})
    ->Args({10000, HalfAYear})
    ->Iterations(5)  // the best of five rounds of each side
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

