#!/bin/sh
# Colour conversion and rescaling of a 50-megapixel 24-bit picture, side by
# side with ImageMagick (error diffusion onto the standard 256-colour palette,
# 256 optimised colours) and vips (nearest-neighbour halving and doubling,
# vips subsample and zoom; 256 grays). bench/bench_transform.sh has every
# operation against both peers at 10 and 100 megapixels. First the in-process figures of bench_colour, then file to
# file: stitchara-cli against the peer on the same input.
#
# usage: bench/bench_colour.sh [BUILD_DIR]     (default: build)
# Needs the targets bench_colour and stitchara-cli (and palette_map) built.
set -eu
build=${1:-build}
bench=$build/bench/bench_colour
cli=$build/bin/stitchara-cli
for tool in "$bench" "$cli"; do
  [ -x "$tool" ] || { echo "missing $tool: build it first" >&2; exit 2; }
done
magick=convert
[ -x /usr/bin/convert ] && magick=/usr/bin/convert

work=$(mktemp -d "${TMPDIR:-/tmp}/bench_colour.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# vips may be absent: install it when we can, else skip its rows.
if ! command -v vips >/dev/null 2>&1 && [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
  echo "installing libvips-tools..."
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libvips-tools >/dev/null 2>&1 || true
fi

echo "== in process (bench_colour) =="
"$bench" --benchmark_counters_tabular=true

echo
echo "== file to file, 50 MP, seconds: wall/cpu/peak MB =="
"$bench" --make-input "$work"
"$magick" "$work/input.bmp" "$work/input.ppm"

# seconds COMMAND...: runs it, prints "wall/cpu/MB" (cpu = user + system
# seconds, the fairer figure on a shared machine; MB the peak resident
# memory), or "failed".
seconds() {
  if /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>"$work/err"; then
    awk '{ printf "%.2f/%.2f/%d", $1, $2 + $3, ($4 + 1023) / 1024 }' "$work/time"
  else
    printf "failed(%s)" "$(head -c 80 "$work/err" | tr '\n' ' ')"
  fi
}
row() { printf "%-36s %18s %18s\n" "$1" "$2" "$3"; }

w=8660; h=5774
row "operation" "stitchara" "peer"
ours=$(seconds "$cli" convert "$work/input.bmp" "$work/s_fs.bmp" --type color256 --mode 2 --quiet)
peer=$(seconds "$magick" "$work/input.bmp" -dither FloydSteinberg -remap "$work/standard256.bmp" "BMP3:$work/m_fs.bmp")
row "diffusion, standard 256 (magick)" "$ours" "$peer"
ours=$(seconds "$cli" convert "$work/input.bmp" "$work/s_opt.bmp" --type color256 --mode 1 --quiet)
peer=$(seconds "$magick" "$work/input.bmp" -colors 256 "BMP3:$work/m_opt.bmp")
row "optimised 256 colours (magick)" "$ours" "$peer"

if command -v vips >/dev/null 2>&1; then
  for scale in half double; do
    if [ $scale = half ]; then size=$((w / 2))x$((h / 2)); op=subsample; else size=$((w * 2))x$((h * 2)); op=zoom; fi
    ours=$(seconds "$cli" rescale "$work/input.ppm" "$work/s_$scale.ppm" --size "$size" --quiet)
    peer=$(seconds vips $op "$work/input.ppm" "$work/v_$scale.ppm" 2 2)
    row "rescale $scale (vips $op)" "$ours" "$peer"
    peer=$(seconds env VIPS_CONCURRENCY=1 vips $op "$work/input.ppm" "$work/v_$scale.ppm" 2 2)
    row "rescale $scale (vips, one thread)" "$ours" "$peer"
    rm -f "$work/s_$scale.ppm" "$work/v_$scale.ppm"
  done
  ours=$(seconds "$cli" convert "$work/input.ppm" "$work/s_gray.pgm" --type gray256 --quiet)
  peer=$(seconds vips colourspace "$work/input.ppm" "$work/v_gray.pgm" b-w)
  row "to 256 grays (vips)" "$ours" "$peer"
  rm -f "$work/s_gray.pgm" "$work/v_gray.pgm"
else
  echo "vips not available: rescale comparison skipped"
fi
