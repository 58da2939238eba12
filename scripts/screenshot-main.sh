#!/usr/bin/env bash
# Saves a picture of the screen with the main window as it starts (default design, default
# drawing) and its View menu open, drawn by a real X server (Xvfb), as a PNG.
# Usage: scripts/screenshot-main.sh [output.png]   (default: build-screenshot/main.png)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QERN_BUILD_DIR:-$ROOT/build-screenshot}"
OUT="${1:-$BUILD/main.png}"
case "$OUT" in /*) ;; *) OUT="$PWD/$OUT" ;; esac
command -v xvfb-run >/dev/null || "$ROOT/scripts/deps.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja >/dev/null
cmake --build "$BUILD" --target test_qt
mkdir -p "$(dirname "$OUT")"
rm -f "$OUT"
env -u QT_QPA_PLATFORM QERN_MAIN_SCREENSHOT="$OUT" \
  xvfb-run -a -s "-screen 0 1600x1200x24" \
  "$BUILD/tests/test_qt" --gtest_filter=MainMenu.Screenshot
test -s "$OUT"
echo "$OUT"
