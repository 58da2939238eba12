#!/usr/bin/env bash
# with_other_build.sh <other build folder> <program> <bench source>...
# The benchmark program of another build (the previous one, say) with benchmark sources of this
# tree added, so that a benchmark new in this tree runs on both builds side by side: each source is
# compiled with the flags and against the headers of the other build's benchmarks and linked with
# its objects and libraries into <program>. The other build is only read.
# Example: bench/with_other_build.sh ../base/build/release /tmp/base_bench bench/repaint_bench.cpp
set -euo pipefail
other=$(cd "$1" && pwd)
program=$(realpath -m "$2")
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The compile command of one of the other build's benchmark sources stands for all of them.
compile=$(jq -r '[.[] | select(.file | endswith("/bench/calc_bench.cpp"))][0].command' \
  "$other/compile_commands.json")
link=$(ninja -C "$other" -t commands bench/qern_bench | tail -1)
objects=""
for source in "$@"; do
  name=$(basename "$source" .cpp)
  object="$work/$name.o"
  # Built in the other build's folder, as its own sources are (relative paths stay right).
  command=$(sed -E "s# -o [^ ]+# -o $object#; s# -c [^ ]+# -c $(realpath "$source")#" <<<"$compile")
  (cd "$other" && eval "$command")
  # A source of the same name in the other build is replaced by this one.
  link=$(sed -E "s# bench/CMakeFiles/qern_bench.dir/$name.cpp.o##" <<<"$link")
  objects="$objects $object"
done
link=$(sed -E "s#^: && ##; s# && :\$##; s# -o bench/qern_bench # -o $program $objects #" <<<"$link")
(cd "$other" && eval "$link")
echo "$program"
