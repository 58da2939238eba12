#!/usr/bin/env bash
# Runs the file overview benchmarks on a real X server (Xvfb) with the xcb platform, where the main
# window's title updates go to the display server as they do on a desktop.
# Usage: bench/preview_xvfb.sh [build folder] [extra benchmark arguments ...]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build/test}"
shift || true
command -v xvfb-run >/dev/null || "$ROOT/scripts/deps.sh"
cmake --build "$BUILD" --target qern_bench
env QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1366x768x24" \
  "$BUILD/bench/qern_bench" --benchmark_filter='FileOverview|OpenTable' "$@"
