// A repaint of a drawing on the screen: the display list of kind 7 (the two wheels) at 100 and at
// 9,999 teeth replayed into a window-sized image through the window's canvas, as the window's paint
// does, the two alternately in one run. Counters: the processor time per drawn record (line, arc,
// circle, filled shape, text) of each, "ns_per_record_100" and "ns_per_record_9999", and their
// ratio "vs_100" (goal at most 2); the part of a repaint that is not Qt's painting, found by
// replaying the same list onto a canvas that paints nothing (the mapping of world to pixel and the
// walk over the list), as "mapping_share" of the 9,999 teeth's repaint (goal at most 0.1). Each
// figure is the quickest of the run. bench/with_other_build.sh builds this for a previous build.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "bench/benchapp.h"
#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "drawing/qernzeich.h"
#include "drawing/zorqcad.h"
#include "framework/progvar.h"
#include "framework/qt/paintercanvas.h"
#include "framework/zorqgraf.h"

namespace {

namespace fs = std::filesystem;

double CpuNs() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return 1e9 * static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec);
}

class NoPaint : public qern::Canvas {
 public:
  void SetPen(uint32_t, int, int) override {}
  void SetBrush(uint32_t) override {}
  void Line(int, int, int, int) override {}
  void Ellipse(int, int, int, int) override {}
  void Arc(int, int, int, int, double, double) override {}
  void Polygon(const std::array<int, 8>&) override {}
  void Text(int, int, const std::string&, const qern::CanvasFont&) override {}
  void Frame(int, int, int, int) override {}
};

constexpr int kWidth = 1024, kHeight = 768;

// Kind 7 of the default design with the given teeth on the screen: its display list.
std::vector<qern::DisplayRecord> Kind7(int teeth, const std::string& folder) {
  qern::InitProgramState();
  qern::Settings.TempFolder = folder + "/";
  qern::Settings.ScreenWidth = kWidth;
  qern::Settings.ScreenHeight = kHeight;
  qern::SetDefaultDesign();
  qern::Design.ToothCount[1] = teeth;
  qern::Design.ToothCount[2] = -teeth;
  qern::CalculateSerration();
  qern::Session.CurrentFileName = folder + "/d";
  qern::Flags.AbortFlag = false;
  qern::DrawMenu(qern::CadDeviceScreen, 7);
  std::vector<qern::DisplayRecord> list = std::move(qern::DisplayList);
  qern::DisplayList.clear();
  return list;
}

double DrawnRecords(const std::vector<qern::DisplayRecord>& list) {
  return static_cast<double>(std::count_if(list.begin(), list.end(), [](const auto& r) {
    return r.Code == qern::RecDraw || (r.Code >= qern::RecCircle && r.Code <= qern::RecSolid);
  }));
}

// One repaint into the image; one onto the canvas that paints nothing. (Functions of their own, so
// that an instruction count, callgrind's, tells them apart.)
[[gnu::noinline]] void PaintedRepaint(const std::vector<qern::DisplayRecord>& list, QImage& image) {
  QPainter painter(&image);
  qern::PainterCanvas canvas(painter);
  qern::ReplayDisplayList(list, &canvas);
}
[[gnu::noinline]] void UnpaintedRepaint(const std::vector<qern::DisplayRecord>& list) {
  NoPaint canvas;
  qern::ReplayDisplayList(list, &canvas);
}

// A first repaint, not counted: the painter's caches (glyphs, pens) filled as a window's are.
[[gnu::noinline]] void FirstRepaint(const std::vector<qern::DisplayRecord>& list, QImage& image) {
  image.fill(Qt::white);
  QPainter painter(&image);
  qern::PainterCanvas canvas(painter);
  qern::ReplayDisplayList(list, &canvas);
}

// The processor time of one repaint, painted or not.
double Repaint(const std::vector<qern::DisplayRecord>& list, QImage& image, bool paint) {
  image.fill(Qt::white);
  const double t0 = CpuNs();
  if (paint)
    PaintedRepaint(list, image);
  else
    UnpaintedRepaint(list);
  return CpuNs() - t0;
}

void BM_RepaintKind7ManyTeethAgainstHundred(benchmark::State& state) {
  qern::bench::EnsureApplication();
  char pattern[] = "/tmp/qern-bench-repaint-XXXXXX";
  const std::string folder = ::mkdtemp(pattern);
  const std::vector<qern::DisplayRecord> few = Kind7(100, folder), many = Kind7(9999, folder);
  QImage image(kWidth + 1, kHeight + 1, QImage::Format_RGB32);
  constexpr double kNever = std::numeric_limits<double>::max();
  double bestFew = kNever, bestMany = kNever, bestBare = kNever;
  FirstRepaint(few, image);
  FirstRepaint(many, image);
  for (auto _ : state) {
    bestFew = std::min(bestFew, Repaint(few, image, true));
    bestMany = std::min(bestMany, Repaint(many, image, true));
    bestBare = std::min(bestBare, Repaint(many, image, false));
  }
  const double perFew = bestFew / DrawnRecords(few), perMany = bestMany / DrawnRecords(many);
  state.counters["records_100"] = DrawnRecords(few);
  state.counters["records_9999"] = DrawnRecords(many);
  state.counters["ms_100"] = bestFew / 1e6;
  state.counters["ms_9999"] = bestMany / 1e6;
  state.counters["ns_per_record_100"] = perFew;
  state.counters["ns_per_record_9999"] = perMany;
  state.counters["vs_100"] = perMany / perFew;
  state.counters["mapping_share"] = bestBare / bestMany;
  state.counters["goal_vs_100"] = 2;
  state.counters["goal_mapping"] = 0.1;
  std::error_code ec;
  fs::remove_all(folder, ec);
}
BENCHMARK(BM_RepaintKind7ManyTeethAgainstHundred)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
