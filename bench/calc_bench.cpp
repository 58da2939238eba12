// Calculations per second of the serration calculation: the default design, and the default
// design with the shaft's profile shift found from a dimension over pins.
//
// "Repeated" runs the same design again and again, as the geometry window does while the user
// types; "Varied" changes the module on every run (997 values in turn), so no remembered
// angle or search range of an earlier run can be reused.
#include <benchmark/benchmark.h>

#include "design/qerncalc.h"
#include "design/qernvar.h"
#include "framework/progvar.h"

namespace {

void UseDefaultDesign() {
  qern::InitProgramState();
  qern::SetDefaultDesign();
}

void UsePinDimensionDesign() {
  UseDefaultDesign();
  qern::Design.XInputMode[1] = 3;
  qern::Design.PinDimension[1] = 14.4L;  // x1 about 0.2
  qern::Design.PinDiameter[1] = 0.8L;
}

void Finish(benchmark::State& state) {
  if (qern::Flags.FatalError) state.SkipWithError("calculation stopped with a fatal message");
  state.SetItemsProcessed(state.iterations());
}

void BM_DefaultDesignRepeated(benchmark::State& state) {
  UseDefaultDesign();
  for (auto _ : state) {
    qern::CalculateSerration();
    benchmark::DoNotOptimize(qern::Design.PinMeasurement[1]);
  }
  Finish(state);
}
BENCHMARK(BM_DefaultDesignRepeated);

void BM_PinDimensionDesignRepeated(benchmark::State& state) {
  UsePinDimensionDesign();
  for (auto _ : state) {
    qern::CalculateSerration();
    benchmark::DoNotOptimize(qern::Design.ProfileShift[1]);
  }
  Finish(state);
}
BENCHMARK(BM_PinDimensionDesignRepeated);

// Module 0.41934 scaled by 1 + k / 10000, k = 0 .. 996; the pin dimension scales with it.
template <void (*Setup)()>
void RunVaried(benchmark::State& state) {
  Setup();
  const qern::DesignRecord start = qern::Design;
  int k = 0;
  for (auto _ : state) {
    const long double scale = 1 + k / 10000.0L;
    qern::Design.NormalModule = start.NormalModule * scale;
    qern::Design.PinDimension[1] = start.PinDimension[1] * scale;
    qern::Design.PinDiameter[1] = start.PinDiameter[1] * scale;
    qern::Design.PinDiameter[2] = 0;
    qern::CalculateSerration();
    benchmark::DoNotOptimize(qern::Design.ProfileShift[1]);
    if (++k == 997) k = 0;
  }
  Finish(state);
}

void BM_DefaultDesignVaried(benchmark::State& state) { RunVaried<UseDefaultDesign>(state); }
BENCHMARK(BM_DefaultDesignVaried);

void BM_PinDimensionDesignVaried(benchmark::State& state) { RunVaried<UsePinDimensionDesign>(state); }
BENCHMARK(BM_PinDimensionDesignVaried);

}  // namespace
