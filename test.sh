#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the normal build, the same tests again
# under AddressSanitizer/UBSan, and a short run of every fuzz target.
# QERN_QUICK=1 runs the normal build only; QERN_FUZZ_RUNS sets the inputs per fuzz target (default 10000,
# from the seeds with a fixed random seed, so the same inputs run everywhere).
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
jobs="$(nproc)"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test
(cd build/test && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs")
[ "${QERN_QUICK:-0}" = 1 ] && exit 0

echo "== the tests under AddressSanitizer and UBSan =="
# Unoptimised with line tables only: the quickest build that still names file and line in a finding.
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1" \
  -DQERN_SANITIZE=ON -DQERN_BENCH=OFF >/dev/null
cmake --build build/asan
(cd build/asan && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs" -E 'Screenshot|Benchmark')

echo "== fuzz targets =="
QERN_FUZZ_RUNS="${QERN_FUZZ_RUNS:-10000}" scripts/fuzz.sh
