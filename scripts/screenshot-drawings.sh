#!/usr/bin/env bash
# Saves pictures of three drawing kinds (5 shaft sheet, 8 both sheets, 14 Quick 3) as drawn on
# the main window by a real X server (Xvfb), as kind5.png, kind8.png and kind14.png.
# Usage: scripts/screenshot-drawings.sh [folder]   (default: build-screenshot/drawings)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${1:-${QERN_BUILD_DIR:-$ROOT/build-screenshot}/drawings}"
case "$OUT" in /*) ;; *) OUT="$PWD/$OUT" ;; esac
mkdir -p "$OUT"
rm -f "$OUT"/kind*.png
"$ROOT/scripts/xvfb-test.sh" DrawingScreens.Shots QERN_DRAWING_SHOTS="$OUT"
ls "$OUT"/kind*.png
