#!/usr/bin/env bash
# Pictures of the whole screen with the program's windows under a window manager (openbox on
# Xvfb) at 1366x768, 1280x1024 and 1024x768: the manufacturing drawings on the main window, the
# geometry window while a clearance is typed and with a help picture (and the drawing kept after
# Cancel), the CAD device choice's picture button, the help-picture and listing windows after
# several openings, and the centred dialogs with the print window.
# Usage: scripts/screenshot-windows.sh [output folder]   (default: build-screenshot/windows)
# The pictures go to <folder>/<width>x<height>/*.png.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QERN_BUILD_DIR:-$ROOT/build-screenshot}"
OUT="${1:-$BUILD/windows}"
case "$OUT" in /*) ;; *) OUT="$PWD/$OUT" ;; esac
{ command -v Xvfb && command -v openbox; } >/dev/null || "$ROOT/scripts/deps.sh"
cmake -S "$ROOT" -B "$BUILD" -G Ninja >/dev/null
cmake --build "$BUILD" --target test_qt

XPID=""
WMPID=""
stop() {
  [ -n "$WMPID" ] && kill "$WMPID" 2>/dev/null || true
  [ -n "$XPID" ] && kill "$XPID" 2>/dev/null || true
  WMPID=""
  XPID=""
}
trap stop EXIT

for size in 1366x768 1280x1024 1024x768; do
  # A free display number, reported by the server itself.
  exec 3< <(Xvfb -displayfd 1 -screen 0 "${size}x24" -nolisten tcp 2>/dev/null & echo "pid $!")
  read -r _ XPID <&3
  read -r display <&3
  export DISPLAY=":$display"
  openbox >/dev/null 2>&1 &
  WMPID=$!
  sleep 1
  rm -rf "${OUT:?}/$size"
  mkdir -p "$OUT/$size"
  env -u QT_QPA_PLATFORM QERN_WINDOWS_SCREENSHOTS="$OUT/$size" \
    "$BUILD/tests/test_qt" --gtest_filter='WindowScreenshots.*'
  stop
  exec 3<&-
  ls "$OUT/$size"/*.png
done
