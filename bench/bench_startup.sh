#!/bin/sh
# Start-up time of the application, from the process start to the main window
# shown and idle: with an empty command line, with a 12-megapixel JPEG photo
# and with a 100-megapixel picture (10000 x 10000 gray BMP) on the command
# line. Runs offscreen and on an X server (Xvfb) when xvfb-run is there.
#
# usage: bench/bench_startup.sh [BUILD_DIR] [RUNS]   (default: build, 15)
set -eu
build=${1:-build}
runs=${2:-15}
bench=$build/bin/bench_startup
[ -x "$bench" ] || { echo "missing $bench: build it first (-DSTITCHARA_BENCH=ON)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/bench_startup.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

convert -size 4000x3000 gradient:tomato-steelblue -quality 90 "$work/photo.jpg"
python3 "$(dirname "$0")/large_gray_bmp.py" "$work/large.bmp"

QT_QPA_PLATFORM=offscreen "$bench" "$runs" "$work/photo.jpg" "$work/large.bmp"
if command -v xvfb-run >/dev/null; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" "$bench" "$runs" "$work/photo.jpg" "$work/large.bmp"
fi
