// One keystroke in the geometry input window, offscreen: the key event, the recalculation of the
// design and the refresh of every result field, label and message, events processed.
// Goal: at most 2 ms per keystroke.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include "bench/benchapp.h"
#include "design/qt/qerngeo.h"
#include "design/qernvar.h"
#include "framework/progvar.h"

namespace {

// Types one character and takes it back again, alternately: each iteration is one keystroke.
void TypeIntoField(benchmark::State& state, QLineEdit* edit, qern::TForm_qerngeo& w) {
  edit->setFocus();
  edit->end(false);
  bool typed = false;
  for (auto _ : state) {
    QTest::keyClick(edit, typed ? Qt::Key_Backspace : Qt::Key_5);
    typed = !typed;
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(qern::Design.PinMeasurement[1]);
  }
  if (qern::Flags.FatalError) state.SkipWithError("the design has a fatal message");
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
