#!/usr/bin/env bash
# compare_kinds.sh <folder-a> <folder-b>: the files two dump_kinds runs wrote, compared byte by byte
# apart from the time of writing (the IGES file's date field, the date and time drawn on a sheet);
# lists the files that differ.
set -u
a=$1 b=$2
mask() {
  # A drawn time in IGES is a string with its length in front ("15H… 9:42" against "16H… 10:07"),
  # padded to its line's columns: masked with its length, the padding of that line squeezed.
  sed -E -e '/[0-9]+H[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{1,2}:[0-9]{2}/{s/[0-9]+H([0-9]{4}-[0-9]{2}-[0-9]{2} )[0-9]{1,2}:[0-9]{2}/16H\100:00/g; s/ +/ /g}' \
    -e 's/15H[0-9]{8}\.[0-9]{6},/15H00000000.000000,/g' \
    -e 's/([0-9]{4}-[0-9]{2}-[0-9]{2} )[0-9]{1,2}:[0-9]{2}/\100:00/g' "$1"
}
differ=0 count=0
for f in "$a"/*; do
  n=$(basename "$f")
  count=$((count + 1))
  if [ ! -f "$b/$n" ]; then echo "missing in $b: $n"; differ=$((differ + 1)); continue; fi
  if ! cmp -s <(mask "$f") <(mask "$b/$n"); then echo "differs: $n"; differ=$((differ + 1)); fi
done
for f in "$b"/*; do [ -f "$a/$(basename "$f")" ] || { echo "missing in $a: $(basename "$f")"; differ=$((differ + 1)); }; done
echo "$count files compared, $differ differ"
[ "$differ" -eq 0 ]
