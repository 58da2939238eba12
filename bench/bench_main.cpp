// Entry of the benchmark program; each bench/*.cpp registers its own benchmarks.
#include <benchmark/benchmark.h>

BENCHMARK_MAIN();
