#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (ASan/UBSan) and runs each for a given time.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target names ...]   e.g. scripts/fuzz.sh 30 numbers
# A target's seeds are the files matched by the globs in tests/fuzz/<name>.seeds, its dictionary (pieces of
# input the mutations insert) tests/fuzz/<name>.dict when there is one; its grown corpus stays in
# build/fuzz/corpus/<name>. A crash or a hang fails the script and leaves the input in
# build/fuzz/artifacts/<name>, the folder each target runs in, so nothing lands in the source tree.
# QERN_FUZZ_RUNS=n makes the run repeatable instead: n inputs per target from the seeds alone with a fixed
# random seed (what the test script runs, so a run that passes here passes everywhere).
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SECONDS_EACH="${1:-60}"
shift || true
BUILD="$ROOT/build/fuzz"
CC=clang-14 CXX=clang++-14 cmake -S "$ROOT" -B "$BUILD" -G Ninja -DQERN_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1" >/dev/null
cmake --build "$BUILD" >/dev/null
# The private folders of runs that were killed before they could remove them: ours, named
# qern-fuzz-<pid>-XXXXXX, whose process is gone (older folders without the id after a day).
for d in /dev/shm/qern-fuzz-* "${TMPDIR:-/tmp}"/qern-fuzz-*; do
  [ -d "$d" ] && [ -O "$d" ] && [ ! -L "$d" ] || continue
  pid="$(basename "$d" | sed -n 's/^qern-fuzz-\([0-9][0-9]*\)-.*/\1/p')"
  if [ -n "$pid" ]; then
    kill -0 "$pid" 2>/dev/null && continue
  elif [ -z "$(find "$d" -maxdepth 0 -mmin +1440)" ]; then
    continue
  fi
  rm -rf -- "$d"
done
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$ROOT"/tests/fuzz/*_fuzz.cpp; do n="$(basename "$f" _fuzz.cpp)"; targets+=("$n"); done
fi
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for n in "${targets[@]}"; do
  corpus="$BUILD/corpus/$n"; seeds="$BUILD/seeds/$n"; artifacts="$BUILD/artifacts/$n"
  mkdir -p "$corpus" "$artifacts"; rm -rf "$seeds"; mkdir -p "$seeds"
  if [ -f "$ROOT/tests/fuzz/$n.seeds" ]; then
    while IFS= read -r pattern; do
      [ -z "$pattern" ] && continue
      (cd "$ROOT" && for s in $pattern; do [ -f "$s" ] && cp "$s" "$seeds/$(echo "$s" | tr '/' '_')"; done) || true
    done < "$ROOT/tests/fuzz/$n.seeds"
  fi
  dict=()
  [ -f "$ROOT/tests/fuzz/$n.dict" ] && dict=(-dict="$ROOT/tests/fuzz/$n.dict")
  if [ -n "${QERN_FUZZ_RUNS:-}" ]; then
    corpus="$BUILD/corpus-repeatable/$n"; rm -rf "$corpus"; mkdir -p "$corpus"
    limit=(-runs="$QERN_FUZZ_RUNS" -seed=1)
    echo "fuzz_$n: $QERN_FUZZ_RUNS inputs"
  else
    limit=(-max_total_time="$SECONDS_EACH")
    echo "fuzz_$n: ${SECONDS_EACH} s"
  fi
  if ! (cd "$artifacts" && "$BUILD/tests/fuzz/fuzz_$n" "${limit[@]}" ${dict[@]+"${dict[@]}"} -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$seeds") >"$BUILD/fuzz_$n.log" 2>&1; then
    echo "fuzz_$n FAILED (log: $BUILD/fuzz_$n.log, input in $artifacts)"; tail -40 "$BUILD/fuzz_$n.log"; status=1
  else
    grep -E '^stat::number_of_executed_units' "$BUILD/fuzz_$n.log" || true
  fi
done
exit $status
