#!/usr/bin/env bash
# Saves a picture of the screen with the main window as it starts (default design, default
# drawing) and its View menu open, the same menu in Korean and in Chinese (<output>-ko.png,
# <output>-zh.png; the run fails when a character of them has no glyph), and one with the file
# table over it (<output>-table.png), drawn by a real X server (Xvfb).
# Usage: scripts/screenshot-main.sh [output.png]   (default: build-screenshot/main.png)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${1:-${QERN_BUILD_DIR:-$ROOT/build-screenshot}/main.png}"
case "$OUT" in /*) ;; *) OUT="$PWD/$OUT" ;; esac
mkdir -p "$(dirname "$OUT")"
rm -f "$OUT" "${OUT%.png}-ko.png" "${OUT%.png}-zh.png"
"$ROOT/scripts/xvfb-test.sh" MainMenu.Screenshot QERN_MAIN_SCREENSHOT="$OUT"
for f in "$OUT" "${OUT%.png}-ko.png" "${OUT%.png}-zh.png"; do
  test -s "$f"
  echo "$f"
done
