#!/usr/bin/env bash
# Commands that read a file only to write a transformed one (convert,
# transform, rescale, deskew), from every compressed format: wall seconds,
# processor seconds and peak memory (MB, the largest resident set) of
# stitchara-cli. Given a second stitchara-cli (an earlier build), it runs
# beside it and says whether the two wrote the same bytes (md5).
#
#   bench/bench_streamed_reads.sh [CLI [EARLIER_CLI]]
#   SIZE=3873x2582 bench/bench_streamed_reads.sh build/test/bin/stitchara-cli
#
# CLI defaults to build/bench-release/bin/stitchara-cli (bench_transform.sh
# builds it). The files live in /dev/shm when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/timed_run.sh
CLI=${1:-build/bench-release/bin/stitchara-cli}
OLD=${2:-}
SIZE=${SIZE:-12247x8165}
FORMATS=${FORMATS:-"ppm png tif bmp jpg gif"}
w=${SIZE%x*}; h=${SIZE#*x}
base=${TMPDIR:-}
[ -z "$base" ] && [ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
WORK=$(mktemp -d "${base:-/tmp}/bench_streamed.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM

python3 bench/striped_ppm.py "$WORK/in.ppm" "$w" "$h"

# "wall cpu MB" of one run, or "FAILED".
measure() {
  local t
  t=$(timed_run "$WORK" "$@")
  if [ "$t" = FAILED ]; then echo "FAILED - -"; return; fi
  awk '{ printf "%.2f %.2f %d", $1, $3, $2 }' <<<"$t"
}

echo "== $w x $h, $(nproc) cores; seconds wall / cpu / peak MB"
printf "%-28s %-4s %20s" operation from "ours"
[ -n "$OLD" ] && printf " %20s %s" "earlier" "same bytes"
echo
for ext in $FORMATS; do
  src=$WORK/src.$ext
  if [ "$ext" = gif ]; then "$CLI" convert "$WORK/in.ppm" "$src" --type gray256 --quiet
  else "$CLI" convert "$WORK/in.ppm" "$src" --quiet; fi
  while IFS='|' read -r name out args; do
    [ -z "$name" ] && continue
    read -r s c m <<<"$(measure "$CLI" $args "$src" "$WORK/new.$out" --quiet)"
    line=$(printf "%-28s %-4s %20s" "$name" "$ext" "$s / $c / $m")
    if [ -n "$OLD" ]; then
      read -r s2 c2 m2 <<<"$(measure "$OLD" $args "$src" "$WORK/old.$out" --quiet)"
      same=no
      [ -f "$WORK/new.$out" ] && [ -f "$WORK/old.$out" ] &&
        [ "$(md5sum <"$WORK/new.$out")" = "$(md5sum <"$WORK/old.$out")" ] && same=yes
      line+=$(printf " %20s %s" "$s2 / $c2 / $m2" "$same")
    fi
    echo "$line"
    rm -f "$WORK"/new.* "$WORK"/old.*
  done <<EOF
convert to PPM|ppm|convert
convert to PNG|png|convert
mirror horizontally|ppm|transform --op mirror-h
mirror vertically into BMP|bmp|transform --op mirror-v
rescale to half|ppm|rescale --size $((w / 2))x$((h / 2))
deskew (1 degree) to PPM|ppm|deskew --thumbs $((w / 10)),$((h / 20)),$((w / 10 + h / 60)),$((h - h / 20))
deskew (1 degree) to BMP|bmp|deskew --thumbs $((w / 10)),$((h / 20)),$((w / 10 + h / 60)),$((h - h / 20))
EOF
  rm -f "$src"
done
