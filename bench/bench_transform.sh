#!/usr/bin/env bash
# The geometric transforms, the rescales, the conversion to 256 grays and
# `info` through stitchara-cli, side by side with vips and ImageMagick on the
# same 24-bit PPM files: wall seconds (best of RUNS runs, the tools taking
# turns), processor seconds (best of RUNS) and peak memory (MB, the largest
# resident set of the process). The ratio columns are ours / theirs (lower
# is better): of the wall clock, and cpu_r of the processor seconds. Installs
# libvips-tools when run as root and vips is missing; a missing peer's
# columns show "-".
#
#   bench/bench_transform.sh                 # 10 and 100 megapixels
#   SIZES="3873x2582" RUNS=1 bench/bench_transform.sh
#   INFO_FORMATS=0 bench/bench_transform.sh  # skip info on every format
#
# The files live in a memory-backed folder when there is one (/dev/shm), so
# that the disk's write-back does not decide the figures; TMPDIR chooses
# another.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
. bench/timed_run.sh
BUILD=${BUILD:-$ROOT/build/bench-release}
SIZES=${SIZES:-"3873x2582 12247x8165"}
RUNS=${RUNS:-3}
INFO_FORMATS=${INFO_FORMATS:-1}
base=${TMPDIR:-}
[ -z "$base" ] && [ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
WORK=$(mktemp -d "${base:-/tmp}/bench_transform.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM

echo "== building stitchara-cli (Release) in $BUILD"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSTITCHARA_GUI=OFF \
  -DSTITCHARA_TESTS=OFF -DSTITCHARA_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "${JOBS:-2}" --target stitchara-cli >/dev/null
CLI=$BUILD/bin/stitchara-cli

if ! command -v vips >/dev/null 2>&1; then
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "== installing libvips-tools for the comparison"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends libvips-tools \
      >/dev/null 2>&1 || echo "   (could not install vips)"
  fi
fi
HAVE_VIPS=0; command -v vips >/dev/null 2>&1 && HAVE_VIPS=1
MAGICK=""
if command -v magick >/dev/null 2>&1; then MAGICK="magick"
elif [ -x /usr/bin/convert ]; then MAGICK=/usr/bin/convert
elif command -v convert >/dev/null 2>&1; then MAGICK=convert; fi
IDENTIFY=""; command -v identify >/dev/null 2>&1 && IDENTIFY=identify
echo "== cores: $(nproc), vips: $([ $HAVE_VIPS = 1 ] && vips --version || echo none)," \
  "ImageMagick: $([ -n "$MAGICK" ] && $MAGICK -version | head -1 | cut -d' ' -f3 || echo none)"
echo "== work folder: $WORK"

# "SECONDS MB CPU" of one run (the wall clock to the millisecond, the
# processor seconds, user and system, of every thread), or "FAILED". On a
# shared machine the wall clock of a tool working on one core suffers more
# from the others' load than that of one using every core; the processor
# seconds show the work each tool did.
measure() { timed_run "$WORK" "$@"; }

# compare OUR-COMMAND -- VIPS-COMMAND -- MAGICK-COMMAND (either peer may be
# the single word "none"): RUNS rounds, each tool once per round; prints the
# best time and the peak memory of each beside the ratios.
ratio() {
  if [[ $1 == - || $2 == - || $1 == FAILED || $2 == FAILED ]] || (( $(echo "$2 == 0" | bc -l) )); then
    echo "-"
  else
    printf "%.2f" "$(echo "$1 / $2" | bc -l)"
  fi
}
row() {
  local name=$1; shift
  local -a ours=() vips=() magick=()
  local part=0
  for a in "$@"; do
    if [ "$a" = -- ]; then part=$((part + 1)); continue; fi
    case $part in 0) ours+=("$a") ;; 1) vips+=("$a") ;; 2) magick+=("$a") ;; esac
  done
  [ $HAVE_VIPS = 1 ] || vips=(none)
  [ -n "$MAGICK" ] || magick=(none)
  local best=(- - -) mem=(- - -) cpu=(- - -)
  for _ in $(seq "$RUNS"); do
    local k=0
    for tool in ours vips magick; do
      local -n cmd=$tool
      if [ "${cmd[0]}" != none ]; then
        read -r s m c _ <<<"$(measure "${cmd[@]}") - -"
        if [ "$s" = FAILED ]; then best[$k]=FAILED; cpu[$k]=FAILED
        elif [ "${best[$k]}" != FAILED ] && { [ "${best[$k]}" = - ] || (( $(echo "$s < ${best[$k]}" | bc -l) )); }; then
          best[$k]=$s
        fi
        if [ "$s" != FAILED ] && [ "${cpu[$k]}" != FAILED ] && { [ "${cpu[$k]}" = - ] || (( $(echo "$c < ${cpu[$k]}" | bc -l) )); }; then
          cpu[$k]=$c
        fi
        [ "$s" != FAILED ] && { [ "${mem[$k]}" = - ] || [ "$m" -gt "${mem[$k]}" ]; } && mem[$k]=$m
      fi
      k=$((k + 1))
      rm -f "$WORK"/out.*
    done
  done
  printf "%-20s %7s %5s %5s | %7s %5s %5s %5s %5s | %7s %5s %5s %5s\n" "$name" "${best[0]}" "${cpu[0]}" "${mem[0]}" \
    "${best[1]}" "${cpu[1]}" "${mem[1]}" "$(ratio "${best[0]}" "${best[1]}")" "$(ratio "${cpu[0]}" "${cpu[1]}")" \
    "${best[2]}" "${cpu[2]}" "${mem[2]}" "$(ratio "${best[0]}" "${best[2]}")"
}

header() {
  printf "%-20s %7s %5s %5s | %7s %5s %5s %5s %5s | %7s %5s %5s %5s\n" "$1" ours_s cpu MB vips_s cpu MB ratio cpu_r \
    magick_s cpu MB ratio
}

for size in $SIZES; do
  w=${size%x*}; h=${size#*x}
  IN=$WORK/in.ppm
  python3 "$ROOT/bench/striped_ppm.py" "$IN" "$w" "$h"
  echo
  echo "== $w x $h ($(( w * h / 1000000 )) MP), 24-bit PPM, $(( $(stat -c %s "$IN") / 1048576 )) MB"
  header operation
  O=$WORK/out
  row "copy (convert)" "$CLI" convert "$IN" $O.ppm --quiet -- vips copy "$IN" $O.ppm -- $MAGICK "$IN" $O.ppm
  row "mirror horizontally" "$CLI" transform "$IN" $O.ppm --op mirror-h --quiet \
    -- vips flip "$IN" $O.ppm horizontal -- $MAGICK "$IN" -flop $O.ppm
  row "mirror vertically" "$CLI" transform "$IN" $O.ppm --op mirror-v --quiet \
    -- vips flip "$IN" $O.ppm vertical -- $MAGICK "$IN" -flip $O.ppm
  row "half turn" "$CLI" transform "$IN" $O.ppm --op rotate-half --quiet \
    -- vips rot "$IN" $O.ppm d180 -- $MAGICK "$IN" -rotate 180 $O.ppm
  row "rotate right" "$CLI" transform "$IN" $O.ppm --op rotate-right --quiet \
    -- vips rot "$IN" $O.ppm d90 -- $MAGICK "$IN" -rotate 90 $O.ppm
  row "rotate left" "$CLI" transform "$IN" $O.ppm --op rotate-left --quiet \
    -- vips rot "$IN" $O.ppm d270 -- $MAGICK "$IN" -rotate 270 $O.ppm
  row "rescale to half" "$CLI" rescale "$IN" $O.ppm --size $((w / 2))x$((h / 2)) --quiet \
    -- vips subsample "$IN" $O.ppm 2 2 -- $MAGICK "$IN" -sample $((w / 2))x$((h / 2))! $O.ppm
  row "rescale to double" "$CLI" rescale "$IN" $O.ppm --size $((w * 2))x$((h * 2)) --quiet \
    -- vips zoom "$IN" $O.ppm 2 2 -- $MAGICK "$IN" -sample $((w * 2))x$((h * 2))! $O.ppm
  row "to 256 grays" "$CLI" convert "$IN" $O.pgm --type gray256 --quiet \
    -- vips colourspace "$IN" $O.pgm b-w -- $MAGICK "$IN" -colorspace gray $O.pgm
  row "info" "$CLI" info "$IN" -- vipsheader "$IN" -- ${IDENTIFY:-none} "$IN"

  if [ "$INFO_FORMATS" = 1 ]; then
    echo "-- info on every format of this picture (ours only; --check decodes)"
    for ext in bmp png tif jpg tga pcx ppm gif; do
      f=$WORK/info.$ext
      if [ $ext = gif ]; then "$CLI" convert "$IN" "$f" --type gray256 --quiet
      else "$CLI" convert "$IN" "$f" --quiet; fi
      best=-
      for _ in $(seq "$RUNS"); do
        read -r s m _ <<<"$(measure "$CLI" info "$f") - -"
        [ "$best" = - ] || (( $(echo "$s < $best" | bc -l) )) && best=$s
      done
      read -r cs cm _ <<<"$(measure "$CLI" info "$f" --check) - -"
      printf "   %-4s info %6s s %4s MB    info --check %7s s %5s MB\n" "$ext" "$best" "$m" "$cs" "$cm"
      rm -f "$f"
    done
  fi
  rm -f "$IN"
done

if [ "$INFO_FORMATS" = 1 ]; then
  echo
  echo "== info on a 30000 x 30000 GIF"
  python3 - "$WORK/big.pbm" <<'EOF'
import sys
w = h = 30000
with open(sys.argv[1], "wb") as f:
    f.write(b"P4\n%d %d\n" % (w, h))
    row = bytes(((x * 37) >> 3) & 0x11 for x in range((w + 7) // 8))
    for y in range(h):
        f.write(row)
EOF
  "$CLI" convert "$WORK/big.pbm" "$WORK/big.gif" --quiet
  rm -f "$WORK/big.pbm"
  header "file"
  row "info 30000^2 GIF" "$CLI" info "$WORK/big.gif" -- vipsheader "$WORK/big.gif" -- ${IDENTIFY:-none} "$WORK/big.gif"
fi
