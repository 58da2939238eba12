#!/usr/bin/env bash
# Installs what is missing, builds the Release program and starts it with the given arguments.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target wqern
exec scripts/start.sh build/release/app/wqern "$@"
