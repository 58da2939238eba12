#!/usr/bin/env bash
# Starts wqern; without a display and without arguments it runs the listing mode on the default design.
set -euo pipefail
exe="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; shift
if [ $# -eq 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: writing the listing of the default design instead of opening the window." >&2
  work="$(mktemp -d)"
  cp "$(dirname "$exe")/data/null.qrk" "$work/null.qrk" 2>/dev/null || true
  if [ -f "$work/null.qrk" ]; then
    status=0
    (cd "$work" && QT_QPA_PLATFORM=offscreen "$exe" null.qrk /I) || status=$?
    [ -f "$work/null.txt" ] && cat "$work/null.txt"
    rm -rf "$work"
    exit $status
  fi
  exec env QT_QPA_PLATFORM=offscreen "$exe"
fi
exec "$exe" "$@"
