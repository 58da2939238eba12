#!/usr/bin/env bash
# Saves pictures of the configuration window's tabs and of the plot settings window, drawn by a
# real X server (Xvfb), as PNG files.
# Usage: scripts/screenshot-config.sh [folder]   (default: build-screenshot/config)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QERN_BUILD_DIR:-$ROOT/build-screenshot}"
OUT="${1:-$BUILD/config}"
case "$OUT" in /*) ;; *) OUT="$PWD/$OUT" ;; esac
command -v xvfb-run >/dev/null || "$ROOT/scripts/deps.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja >/dev/null
cmake --build "$BUILD" --target test_qt
mkdir -p "$OUT"
rm -f "$OUT"/*.png
# Unset the offscreen platform so the windows are drawn through X with real fonts.
env -u QT_QPA_PLATFORM QERN_CONFIG_SCREENSHOT="$OUT" QERN_GRAVURA_SCREENSHOT="$OUT/gravura.png" \
  xvfb-run -a -s "-screen 0 1600x1200x24" \
  "$BUILD/tests/test_qt" --gtest_filter='ConfigWindow.Screenshot:GravuraWindow.Screenshot'
ls "$OUT"/*.png
