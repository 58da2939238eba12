#!/usr/bin/env bash
# Builds the Qt test program and runs the tests matching a filter on a real X server (Xvfb), with
# the given environment assignments (pictures are saved where they name).
# Usage: scripts/xvfb-test.sh <gtest filter> [NAME=value ...]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QERN_BUILD_DIR:-$ROOT/build-screenshot}"
FILTER="$1"
shift
command -v xvfb-run >/dev/null || "$ROOT/scripts/deps.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja >/dev/null
cmake --build "$BUILD" --target test_qt
# Without the offscreen platform the windows are drawn through X with real fonts.
env -u QT_QPA_PLATFORM "$@" xvfb-run -a -s "-screen 0 1600x1200x24" \
  "$BUILD/tests/test_qt" --gtest_filter="$FILTER"
