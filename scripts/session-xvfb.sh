#!/usr/bin/env bash
# Runs a user's day with the main window on a real X server (Xvfb): open an example, change the
# module, list, draw, write DXF and IGES, save under a new name, reopen it from the recent files.
# Usage: scripts/session-xvfb.sh
set -euo pipefail
exec "$(cd "$(dirname "$0")" && pwd)/xvfb-test.sh" 'UserDay.*'
