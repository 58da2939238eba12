#!/usr/bin/env bash
# Saves pictures of three drawing kinds (5 shaft sheet, 8 both sheets, 14 Quick 3) as drawn on
# the main window by a real X server (Xvfb), as kind5.png, kind8.png and kind14.png.
# Usage: scripts/screenshot-drawings.sh [folder]   (default: build-screenshot/drawings)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QERN_BUILD_DIR:-$ROOT/build-screenshot}"
OUT="${1:-$BUILD/drawings}"
case "$OUT" in /*) ;; *) OUT="$PWD/$OUT" ;; esac
command -v xvfb-run >/dev/null || "$ROOT/scripts/deps.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja >/dev/null
cmake --build "$BUILD" --target test_qt
mkdir -p "$OUT"
rm -f "$OUT"/kind*.png
env -u QT_QPA_PLATFORM QERN_DRAWING_SHOTS="$OUT" \
  xvfb-run -a -s "-screen 0 1600x1200x24" \
  "$BUILD/tests/test_qt" --gtest_filter=DrawingScreens.Shots
ls "$OUT"/kind*.png
