#!/usr/bin/env bash
# Saves a picture of the geometry input window, drawn by a real X server (Xvfb), as a PNG.
# Usage: scripts/screenshot-geo.sh [output.png]   (default: build-screenshot/qerngeo.png)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
OUT="${1:-${QERN_BUILD_DIR:-$ROOT/build-screenshot}/qerngeo.png}"
case "$OUT" in /*) ;; *) OUT="$PWD/$OUT" ;; esac
mkdir -p "$(dirname "$OUT")"
rm -f "$OUT"
"$ROOT/scripts/xvfb-test.sh" GeometryWindow.Screenshot QERN_SCREENSHOT="$OUT"
test -s "$OUT"
echo "$OUT"
