#!/bin/sh
# Printing a 100-megapixel picture (10000 x 10000, 24-bit, 1200 dpi) to PDF:
# stitchara-cli print at 100 % and at fit in page (600 dpi, A3), in memory and
# with the picture in its swap file, side by side with ImageMagick's
# "convert picture.png picture.pdf". Reports wall and processor seconds and
# the peak resident memory of each run. Then the same picture as a poster:
# 10000 x 10000 dots at 1200 dpi across A5 sheets against the one A3 page
# that holds the same print, in memory and from the swap file, with the
# memory each run needs beyond the picture's own store.
#
# usage: bench/bench_print.sh [BUILD_DIR]     (default: build)
set -eu
build=${1:-build}
cli=$build/bin/stitchara-cli
[ -x "$cli" ] || { echo "missing $cli: build it first" >&2; exit 2; }
magick=convert
[ -x /usr/bin/convert ] && magick=/usr/bin/convert

work=$(mktemp -d "${TMPDIR:-/tmp}/bench_print.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# The picture: smooth colour gradients with a fine grid, written as a BMP
# with its resolution, then as PNG by stitchara-cli.
python3 - "$work/picture.bmp" <<'EOF'
import struct, sys
w = h = 10000
stride = w * 3
ppm = int(round(1200 / 0.0254))
header = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, stride * h, ppm, ppm, 0, 0)
with open(sys.argv[1], "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", 54 + stride * h, 0, 0, 54) + header)
    base = bytearray()
    for x in range(w):
        base += bytes((x * 255 // w, 128, 255 - x * 255 // w))
    grid = bytes((40, 40, 40)) * w
    for y in range(h):
        if y % 250 == 0:
            f.write(grid)
        else:
            row = bytearray(base)
            row[1::3] = bytes([y * 255 // h]) * w
            f.write(row)
EOF
"$cli" convert "$work/picture.bmp" "$work/picture.png" --quiet
rm -f "$work/picture.bmp"
echo "input: $(ls -l "$work/picture.png" | awk '{print $5}') bytes, $("$cli" info "$work/picture.png")"
echo "picture store: $((10000 * 10000 * 3 / 1048576)) MiB"
echo

# run LABEL COMMAND...: prints label, wall/cpu seconds, peak RSS and the PDF size.
run() {
  label=$1; shift
  rm -f "$work/out.pdf"
  if /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>"$work/err"; then
    set -- $(cat "$work/time")
    size=$(ls -l "$work/out.pdf" 2>/dev/null | awk '{print $5}')
    printf "%-44s %7.2fs wall %7.2fs cpu %7d MiB peak  %s bytes\n" "$label" "$1" \
      "$(echo "$2 + $3" | bc)" "$(($4 / 1024))" "${size:-?}"
  else
    printf "%-44s failed: %s\n" "$label" "$(tail -n 1 "$work/err")"
  fi
}

echo "== print to PDF, 100 MP =="
run "stitchara-cli print, 100 % (5000 x 5000 dots)" \
  "$cli" print "$work/picture.png" -o "$work/out.pdf" --dpi 600 --paper A3 --quiet
run "stitchara-cli print, fit in page" \
  "$cli" print "$work/picture.png" -o "$work/out.pdf" --dpi 600 --paper A3 --fit --quiet
run "stitchara-cli print, 100 %, swap file" \
  "$cli" print "$work/picture.png" -o "$work/out.pdf" --dpi 600 --paper A3 --quiet --memory-limit 64M
run "stitchara-cli print, fit in page, swap file" \
  "$cli" print "$work/picture.png" -o "$work/out.pdf" --dpi 600 --paper A3 --fit --quiet --memory-limit 64M
# Debian's ImageMagick policy turns its PDF coder off (a guard against
# Ghostscript reading untrusted files). For this one process only, and only
# for writing our own picture, a copy of the policy without that line is
# bound over it in a private mount namespace; nothing changes for anyone else.
policy=/etc/ImageMagick-6/policy.xml
if [ -f "$policy" ] && grep -q 'pattern="PDF"' "$policy" && [ "$(id -u)" = 0 ] && command -v unshare >/dev/null; then
  sed '/pattern="PDF"/d' "$policy" > "$work/policy.xml"
  echo "(ImageMagick runs with its PDF coder allowed in a private mount namespace)"
  run "ImageMagick convert picture.png picture.pdf" \
    unshare -m sh -c "mount --bind '$work/policy.xml' '$policy' && exec '$magick' '$work/picture.png' '$work/out.pdf'"
else
  run "ImageMagick convert picture.png picture.pdf" \
    "$magick" "$work/picture.png" "$work/out.pdf"
fi

# The same print, 10000 x 10000 dots at 1200 dpi, on one A3 page and as a
# poster of A5 sheets. "beyond" is the peak less the picture's store (286 MiB
# in memory; from the swap file the store is on disk and the whole peak counts).
echo
echo "== poster against one page, 10000 x 10000 dots at 1200 dpi =="
"$cli" print "$work/picture.png" -o "$work/out.pdf" --dpi 1200 --paper A5 --poster | head -n 1
beyond() {  # label store-MiB command...
  label=$1; store=$2; shift 2
  rm -f "$work/out.pdf"
  if /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>"$work/err"; then
    set -- $(cat "$work/time")
    printf "%-44s %7.2fs wall %7.2fs cpu %7d MiB peak %7d MiB beyond the store  %s pages\n" \
      "$label" "$1" "$(echo "$2 + $3" | bc)" "$(($4 / 1024))" "$(($4 / 1024 - store))" \
      "$(pdfinfo "$work/out.pdf" 2>/dev/null | awk '/^Pages:/ {print $2}')"
  else
    printf "%-44s failed: %s\n" "$label" "$(tail -n 1 "$work/err")"
  fi
}
store=$((10000 * 10000 * 3 / 1048576))
beyond "one page (A3)" $store \
  "$cli" print "$work/picture.png" -o "$work/out.pdf" --dpi 1200 --paper A3 --quiet
beyond "poster (A5 sheets)" $store \
  "$cli" print "$work/picture.png" -o "$work/out.pdf" --dpi 1200 --paper A5 --poster --quiet
beyond "one page (A3), swap file" 0 \
  "$cli" print "$work/picture.png" -o "$work/out.pdf" --dpi 1200 --paper A3 --quiet --memory-limit 64M
beyond "poster (A5 sheets), swap file" 0 \
  "$cli" print "$work/picture.png" -o "$work/out.pdf" --dpi 1200 --paper A5 --poster --quiet --memory-limit 64M

echo
echo "For scale: reading the PNG alone"
run "stitchara-cli info (header only)" "$cli" info "$work/picture.png"
run "stitchara-cli convert png -> bmp" "$cli" convert "$work/picture.png" "$work/out.bmp" --quiet
