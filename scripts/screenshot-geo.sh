#!/usr/bin/env bash
# Saves a picture of the geometry input window, drawn by a real X server (Xvfb), as a PNG.
# Usage: scripts/screenshot-geo.sh [output.png]   (default: build-screenshot/qerngeo.png)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QERN_BUILD_DIR:-$ROOT/build-screenshot}"
OUT="${1:-$BUILD/qerngeo.png}"
case "$OUT" in /*) ;; *) OUT="$PWD/$OUT" ;; esac
command -v xvfb-run >/dev/null || "$ROOT/scripts/deps.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja >/dev/null
cmake --build "$BUILD" --target test_qt
mkdir -p "$(dirname "$OUT")"
rm -f "$OUT"
# Unset the offscreen platform so the window is drawn through X with real fonts.
env -u QT_QPA_PLATFORM QERN_SCREENSHOT="$OUT" \
  xvfb-run -a -s "-screen 0 1600x1200x24" \
  "$BUILD/tests/test_qt" --gtest_filter=GeometryWindow.Screenshot
test -s "$OUT"
echo "$OUT"
