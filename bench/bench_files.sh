#!/usr/bin/env bash
# Reads and writes a 50-megapixel picture as JPEG, PNG, TIFF and BMP through
# ReadImageFile/WriteImageFile and, side by side in the same run, with the
# codec libraries' own command-line tools (libjpeg-turbo's djpeg/cjpeg,
# netpbm's pngtopnm/pnmtopng, tifftopnm/pnmtotiff and bmptoppm/ppmtobmp,
# libtiff's tiffcp; vips as well when it is installed).
# Each time is the best of REPEAT runs (default 3) in processor seconds (user
# plus system): the machine is shared, and wall time there measures the
# neighbours. Neither side uses more than one thread. The tools write their
# decoded pixels to a file, as ours puts them into the picture's store.
# Both sides write with the same settings: JPEG quality 75, PNG zlib level 3
# with the "sub" row filter (our writer's choice for colour rows), TIFF with
# LZW and no predictor. The output sizes are listed at the end to show it.
# Target: ours within 1.3x.
#
#   bash bench/bench_files.sh [BUILD_DIR]
# BUILD_DIR (default build/bench) is configured as a Release build when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${1:-build/bench}
REPEAT=${REPEAT:-3}
WIDTH=${WIDTH:-8660}
HEIGHT=${HEIGHT:-5774}   # 8660 x 5774 = 50.0 megapixels
LIMIT=1.3

for tool in djpeg cjpeg pngtopnm pnmtopng tifftopnm pnmtotiff tiffcp bmptoppm ppmtobmp; do
  command -v "$tool" >/dev/null || { echo "bench_files: $tool is missing (bash scripts/setup.sh)" >&2; exit 1; }
done

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSTITCHARA_BENCH=ON \
    -DSTITCHARA_TESTS=OFF -DSTITCHARA_GUI=OFF >/dev/null
fi
cmake --build "$BUILD" --target bench_files >/dev/null
BENCH=$BUILD/bench/bench_files

WORK=$(mktemp -d "${TMPDIR:-/tmp}/bench_files.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
less_than() { awk "BEGIN { exit !($1 < $2) }"; }

# Best processor time (user + system) of a shell command over REPEAT runs.
best_of() {
  local best="" t
  for _ in $(seq "$REPEAT"); do
    t=$( { TIMEFORMAT='%3U + %3S'; time bash -c "$1" >/dev/null 2>&1; } 2>&1 )
    t=$(calc "$t")
    if [ -z "$best" ] || less_than "$t" "$best"; then best=$t; fi
  done
  printf '%.3f' "$best"
}

row() {  # label, ours, theirs, tool
  local ratio verdict
  if [ "$2" = failed ] || [ "$3" = failed ]; then
    printf '%-13s %11s %11s %8s  %-4s  %s\n' "$1" "$2" "$3" "-" "FAIL" "$4"
    return
  fi
  ratio=$(calc "$2 / $3")
  verdict=ok
  less_than "$LIMIT" "$ratio" && verdict=SLOW
  printf '%-13s %9.3f s %9.3f s %7.2fx  %-4s  %s\n' "$1" "$2" "$3" "$ratio" "$verdict" "$4"
}

echo "bench_files: ${WIDTH} x ${HEIGHT} 24-bit picture, best of $REPEAT"
"$BENCH" generate "$WORK/in.ppm" "$WIDTH" "$HEIGHT"
# The input files of each format, made by the libraries' own tools.
cjpeg -quality 75 "$WORK/in.ppm" >"$WORK/in.jpg"
pnmtopng -compression 3 -sub "$WORK/in.ppm" >"$WORK/in.png" 2>/dev/null
pnmtotiff -lzw "$WORK/in.ppm" >"$WORK/in.tif" 2>/dev/null
ppmtobmp "$WORK/in.ppm" >"$WORK/in.bmp" 2>/dev/null
ls -l "$WORK"/in.* | awk '{printf "  %-10s %12d bytes\n", $NF, $5}' | sed "s|$WORK/||"

printf '\n%-13s %11s %11s %8s  %-4s  %s\n' "operation" "ours" "tool" "ratio" "" "tool command"
ours_read() {  # file
  local best="" t
  for _ in $(seq "$REPEAT"); do
    t=$("$BENCH" read "$1") || { echo failed; return; }
    if [ -z "$best" ] || less_than "$t" "$best"; then best=$t; fi
  done
  echo "$best"
}
ours_write() {  # out
  "$BENCH" write "$WORK/in.bmp" "$1" "$REPEAT" --png-level 3 --tiff lzw || echo failed
}
sum() {  # a, b: their sum, or failed
  if [ "$1" = failed ] || [ "$2" = failed ]; then echo failed; else calc "$1 + $2"; fi
}

declare -A READ_TOOL=(
  [jpg]="djpeg '$WORK/in.jpg' >'$WORK/tool.pnm'"
  [png]="pngtopnm '$WORK/in.png' >'$WORK/tool.pnm'"
  [tif]="tifftopnm '$WORK/in.tif' >'$WORK/tool.pnm' 2>/dev/null"
  [bmp]="bmptoppm '$WORK/in.bmp' >'$WORK/tool.pnm' 2>/dev/null"
)
declare -A WRITE_TOOL=(
  [jpg]="cjpeg -quality 75 '$WORK/in.ppm' >'$WORK/tool.jpg'"
  [png]="pnmtopng -compression 3 -sub '$WORK/in.ppm' >'$WORK/tool.png' 2>/dev/null"
  [tif]="pnmtotiff -lzw '$WORK/in.ppm' >'$WORK/tool.tif' 2>/dev/null"
  [bmp]="ppmtobmp '$WORK/in.ppm' >'$WORK/tool.bmp' 2>/dev/null"
)
declare -A NAME=([jpg]=JPEG [png]=PNG [tif]=TIFF [bmp]=BMP)

status=0
for ext in jpg png tif bmp; do
  ours=$(ours_read "$WORK/in.$ext")
  theirs=$(best_of "${READ_TOOL[$ext]}")
  line=$(row "${NAME[$ext]} read" "$ours" "$theirs" "${READ_TOOL[$ext]%% *}")
  echo "$line"; [[ $line == *SLOW* || $line == *FAIL* ]] && status=1
  ours=$(ours_write "$WORK/ours.$ext")
  theirs=$(best_of "${WRITE_TOOL[$ext]}")
  line=$(row "${NAME[$ext]} write" "$ours" "$theirs" "${WRITE_TOOL[$ext]%% *}")
  echo "$line"; [[ $line == *SLOW* || $line == *FAIL* ]] && status=1
done

# libtiff's own copy: read and write in one tool, against our read plus write.
ours=$(sum "$(ours_read "$WORK/in.tif")" "$(ours_write "$WORK/ours.tif")")
theirs=$(best_of "tiffcp -c lzw '$WORK/in.tif' '$WORK/copy.tif'")
row "TIFF copy" "$ours" "$theirs" "tiffcp -c lzw"

# vips with the writers' settings of ours (its defaults differ: PNG without
# row filters, TIFF uncompressed or with a predictor).
if command -v vips >/dev/null; then
  declare -A VIPS_SAVE=([jpg]="[Q=75]" [png]="[compression=3,filter=sub]"
                        [tif]="[compression=lzw,predictor=none]")
  for ext in jpg png tif; do
    ours=$(sum "$(ours_read "$WORK/in.$ext")" "$(ours_write "$WORK/ours.$ext")")
    theirs=$(best_of "vips copy '$WORK/in.$ext' '$WORK/vips.$ext${VIPS_SAVE[$ext]}'")
    row "${NAME[$ext]} copy" "$ours" "$theirs" "vips copy ${VIPS_SAVE[$ext]}"
  done
fi
echo
echo "output sizes (ours / tool):"
for ext in jpg png tif bmp; do
  printf '  %-5s %12s / %12s bytes\n' "${NAME[$ext]}" "$(stat -c %s "$WORK/ours.$ext" 2>/dev/null || echo -)" \
    "$(stat -c %s "$WORK/tool.$ext" 2>/dev/null || echo -)"
done
exit $status
