// One keystroke in the geometry input window, offscreen: the key event, the recalculation of the
// design and the refresh of the result fields, labels and messages that changed, events processed.
// Goal: at most 1 ms per keystroke (median). Each benchmark prints its median keystroke (median_us)
// beside the goal (goal_us) and their ratio, the key event with the recalculation alone (key_us),
// and how many layout passes and widget paints a keystroke costs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "bench/benchapp.h"
#include "design/qt/qerngeo.h"
#include "design/qernvar.h"
#include "framework/progvar.h"

namespace {

constexpr double GoalMicroseconds = 1000;

// Counts the layout passes of the window and the paint events of all widgets.
class EventCounter : public QObject {
 public:
  explicit EventCounter(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
  ~EventCounter() override { qApp->removeEventFilter(this); }
  long Layouts = 0, Paints = 0;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::LayoutRequest && o == window_) ++Layouts;
    if (e->type() == QEvent::Paint) ++Paints;
    return false;
  }

 private:
  QWidget* window_;
};

// Types one character and takes it back again, alternately: each iteration is one keystroke.
void TypeIntoField(benchmark::State& state, QLineEdit* edit, qern::TForm_qerngeo& w) {
  edit->setFocus();
  edit->end(false);
  // Settle whatever the showing left pending.
  for (int i = 0; i < 4; ++i) {
    QTest::keyClick(edit, i % 2 ? Qt::Key_Backspace : Qt::Key_5);
    QCoreApplication::processEvents();
  }
  bool typed = false;
  std::vector<double> times, keyTimes;  // whole keystroke; key event with the recalculation
  EventCounter counter(&w);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    QTest::keyClick(edit, typed ? Qt::Key_Backspace : Qt::Key_5);
    const auto typedAt = std::chrono::steady_clock::now();
    typed = !typed;
    QCoreApplication::processEvents();
    const auto end = std::chrono::steady_clock::now();
    times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    keyTimes.push_back(std::chrono::duration<double, std::micro>(typedAt - start).count());
    benchmark::DoNotOptimize(qern::Design.PinMeasurement[1]);
  }
  if (qern::Flags.FatalError) state.SkipWithError("the design has a fatal message");
  auto medianOf = [](std::vector<double>& v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  };
  const double median = medianOf(times);
  state.counters["key_us"] = medianOf(keyTimes);
  const double n = std::max<double>(1, static_cast<double>(times.size()));
  state.counters["median_us"] = median;
  state.counters["goal_us"] = GoalMicroseconds;
  state.counters["ratio"] = median / GoalMicroseconds;
  state.counters["layouts"] = static_cast<double>(counter.Layouts) / n;
  state.counters["paints"] = static_cast<double>(counter.Paints) / n;
  state.SetItemsProcessed(state.iterations());
  w.hide();
}

void StartWindow(std::unique_ptr<qern::TForm_qerngeo>& w) {
  qern::bench::EnsureApplication();
  qern::InitProgramState();
  qern::SetDefaultDesign();
  w = std::make_unique<qern::TForm_qerngeo>();
  w->show();
  QCoreApplication::processEvents();
}

// The module: every field of the design follows.
void BM_GeometryKeystrokeModule(benchmark::State& state) {
  std::unique_ptr<qern::TForm_qerngeo> w;
  StartWindow(w);
  TypeIntoField(state, w->Edit_mn, *w);
}
BENCHMARK(BM_GeometryKeystrokeModule)->Unit(benchmark::kMicrosecond);

// The shaft's dimension over pins: x is found by the iteration on each keystroke.
void BM_GeometryKeystrokePinDimension(benchmark::State& state) {
  std::unique_ptr<qern::TForm_qerngeo> w;
  StartWindow(w);
  w->RadioGroup_pm1->Item(2)->click();
  w->Edit_mdr1->setText("14.4");
  TypeIntoField(state, w->Edit_mdr1, *w);
}
BENCHMARK(BM_GeometryKeystrokePinDimension)->Unit(benchmark::kMicrosecond);

}  // namespace
