#!/bin/sh
# A 300-dpi colour scan of the test backend's largest area (200 x 200 mm, the
# backend's limit; 2362 x 2362 pixels, 16 MB) written to a file: scanimage
# side by side with stitchara-cli scan (the application's acquirer, memory
# transfer, then the file written). Five runs each; wall and processor
# seconds and peak resident memory of each. The time the same scan takes to
# reach a document window in the application is printed by the scan_e2e test
# ("scan to a new document").
#
# usage: bench/bench_scan.sh [BUILD_DIR]     (default: build)
set -eu
build=${1:-build}
cli=$build/bin/stitchara-cli
[ -x "$cli" ] || { echo "missing $cli: build it first" >&2; exit 2; }
command -v scanimage >/dev/null || { echo "scanimage is not installed (sane-utils)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/bench_scan.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
export SANE_CONFIG_DIR=$work/sane STITCHARA_INI=$work/stitchara.ini
mkdir -p "$SANE_CONFIG_DIR"
echo test > "$SANE_CONFIG_DIR/dll.conf"
printf 'test-picture "Color pattern"\n' > "$SANE_CONFIG_DIR/test.conf"

run() {  # label, command...
  label=$1; shift
  for i in 1 2 3 4 5; do
    /usr/bin/time -f "%e %U %S %M" -o "$work/t" "$@" >/dev/null 2>&1
    read -r wall user sys rss < "$work/t"
    printf '%-28s run %d: %6.2f s wall, %6.2f s cpu, %7d KiB peak\n' "$label" "$i" "$wall" \
      "$(echo "$user + $sys" | bc)" "$rss"
  done
}

run "scanimage > file.pnm" sh -c "scanimage -d test:0 --mode Color --resolution 300 -l 0 -t 0 -x 200 -y 200 --format=pnm > '$work/a.pnm'"
run "stitchara-cli scan -o .ppm" "$cli" scan -o "$work/b.ppm" --device test:0 --mode color --resolution 300 --area 0,0,200,200 --quiet
run "stitchara-cli scan -o .bmp" "$cli" scan -o "$work/c.bmp" --device test:0 --mode color --resolution 300 --area 0,0,200,200 --quiet
"$cli" convert "$work/a.pnm" "$work/a2.ppm" --quiet
if cmp -s "$work/a2.ppm" "$work/b.ppm"; then echo "same pixels: yes"; else echo "same pixels: NO"; fi
