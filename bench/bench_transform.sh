#!/usr/bin/env bash
# Times `stitchara-cli transform` against `vips rot` / `vips flip` on the same
# uncompressed file, side by side (best of RUNS runs each, wall clock and
# processor time, file in the page cache). Installs libvips-tools when run as root and vips is
# missing; without vips only our figures are printed.
#
#   bench/bench_transform.sh            # 10000 x 10000 24-bit PPM
#   SIDE=6000 FORMAT=tif RUNS=5 bench/bench_transform.sh
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${BUILD:-$ROOT/build/bench-release}
SIDE=${SIDE:-10000}
FORMAT=${FORMAT:-ppm}      # ppm or tif (uncompressed)
RUNS=${RUNS:-3}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/bench_transform.XXXXXX")
trap 'rm -rf "$WORK"' EXIT

echo "== building stitchara-cli (Release) in $BUILD"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSTITCHARA_GUI=OFF \
  -DSTITCHARA_TESTS=OFF -DSTITCHARA_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "${JOBS:-2}" --target stitchara-cli >/dev/null
CLI=$BUILD/bin/stitchara-cli

if ! command -v vips >/dev/null 2>&1; then
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "== installing libvips-tools for the comparison"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends libvips-tools \
      >/dev/null 2>&1 || echo "   (could not install vips; our figures only)"
  fi
fi
HAVE_VIPS=0
command -v vips >/dev/null 2>&1 && HAVE_VIPS=1
# vips runs on every core it finds; say how many.
echo "== cores: $(nproc), vips: $([ $HAVE_VIPS = 1 ] && vips --version || echo none)"

echo "== input: ${SIDE} x ${SIDE} 24-bit, $FORMAT"
python3 - "$WORK/in.ppm" "$SIDE" <<'EOF'
import sys
path, side = sys.argv[1], int(sys.argv[2])
base = bytes((i * 7) & 255 for i in range(3 * side + 256))
with open(path, "wb") as f:
    f.write(b"P6\n%d %d\n255\n" % (side, side))
    for y in range(side):
        o = (y * 13) % 256
        f.write(base[o:o + 3 * side])
EOF
IN=$WORK/in.$FORMAT
if [ "$FORMAT" != ppm ]; then
  "$CLI" convert "$WORK/in.ppm" "$IN" --compression none --quiet
  rm -f "$WORK/in.ppm"
fi
ls -l "$IN" | awk '{printf "   %s bytes\n", $5}'

# Best wall-clock seconds and best processor seconds (user + system) of RUNS
# runs of a command, as "WALL CPU". On a shared machine the wall clock of a
# single-threaded tool suffers more from the load than that of one using
# every core; the processor seconds show the work each tool did.
best_of() {
  local best="" bestcpu="" out r u s cpu
  local TIMEFORMAT='%R %U %S'
  for _ in $(seq "$RUNS"); do
    out=$( { time "$@" >/dev/null 2>&1; } 2>&1 ) || { echo "FAILED FAILED"; return; }
    read -r r u s <<<"$out"
    cpu=$(echo "$u + $s" | bc -l)
    if [ -z "$best" ] || (( $(echo "$r < $best" | bc -l) )); then best=$r; fi
    if [ -z "$bestcpu" ] || (( $(echo "$cpu < $bestcpu" | bc -l) )); then bestcpu=$cpu; fi
  done
  printf "%.3f %.3f" "$best" "$bestcpu"
}

ratio_of() {
  if [[ $1 == FAILED || $2 == FAILED || $2 == - ]] || (( $(echo "$2 == 0" | bc -l) )); then
    echo "-"
  else
    printf "%.2f" "$(echo "$1 / $2" | bc -l)"
  fi
}

cat "$IN" >/dev/null
printf "%-14s %8s %8s %6s %8s %8s %6s %s\n" operation ours_s vips_s ratio ours_cpu vips_cpu ratio \
  "same pixels"
read -r cp_s cp_cpu <<<"$(best_of cp "$IN" "$WORK/copy.$FORMAT")"
printf "%-14s %8s %8s %6s %8s\n" "cp" "$cp_s" "" "" "$cp_cpu"
# "copy" is the file in and out without a transform (stitchara-cli convert,
# vips copy): what each tool spends on reading and writing alone.
for op in copy rotate-right rotate-left rotate-half mirror-h mirror-v mirror-d; do
  if [ "$op" = copy ]; then
    read -r ours ours_cpu <<<"$(best_of "$CLI" convert "$IN" "$WORK/ours.$FORMAT" --quiet)"
  else
    read -r ours ours_cpu <<<"$(best_of "$CLI" transform "$IN" "$WORK/ours.$FORMAT" --op "$op" --quiet)"
  fi
  vips_s="-" vips_cpu="-" same="-"
  if [ $HAVE_VIPS = 1 ]; then
    case $op in
      copy)         cmd=(vips copy "$IN" "$WORK/vips.$FORMAT") ;;
      rotate-right) cmd=(vips rot "$IN" "$WORK/vips.$FORMAT" d90) ;;
      rotate-left)  cmd=(vips rot "$IN" "$WORK/vips.$FORMAT" d270) ;;
      rotate-half|mirror-d) cmd=(vips rot "$IN" "$WORK/vips.$FORMAT" d180) ;;
      mirror-h)     cmd=(vips flip "$IN" "$WORK/vips.$FORMAT" horizontal) ;;
      mirror-v)     cmd=(vips flip "$IN" "$WORK/vips.$FORMAT" vertical) ;;
    esac
    read -r vips_s vips_cpu <<<"$(best_of "${cmd[@]}")"
    if [[ $ours != FAILED && $vips_s != FAILED ]]; then
      # Compare pixels, not headers: both written as PPM for the check.
      if [ "$FORMAT" = ppm ]; then
        a=$(tail -c $((SIDE * SIDE * 3)) "$WORK/ours.ppm" | md5sum | cut -c1-32)
        b=$(tail -c $((SIDE * SIDE * 3)) "$WORK/vips.ppm" | md5sum | cut -c1-32)
        [ "$a" = "$b" ] && same=yes || same=NO
      fi
    fi
  fi
  printf "%-14s %8s %8s %6s %8s %8s %6s %s\n" "$op" "$ours" "$vips_s" "$(ratio_of "$ours" "$vips_s")" \
    "$ours_cpu" "$vips_cpu" "$(ratio_of "$ours_cpu" "$vips_cpu")" "$same"
  rm -f "$WORK/ours.$FORMAT" "$WORK/vips.$FORMAT"
done
