#!/bin/sh
# The window's event loop during long work, before and after the work moved
# to worker threads: for a 100-megapixel picture (10000 x 10000 gray BMP)
# opened, turned and saved as PNG, and for a scan-sized Auto stitch from the
# stitch sheet, the worst and 99th-percentile lateness of a 5 ms timer on the
# window's thread and of a request from outside (a pipe read through a socket
# notifier), and the total time of each job.
#
# usage: bench/bench_long_work.sh BUILD_DIR [BEFORE_BUILD_DIR] [RUNS]
#   BUILD_DIR         a tree built with -DSTITCHARA_BENCH=ON (bin/bench_long_work)
#   BEFORE_BUILD_DIR  the same program built in another tree, e.g. of commit
#                     00dc038 (copy bench/bench_long_work.cpp and the
#                     bench/CMakeLists.txt rule there first), for comparison
set -eu
after=$1
before=${2:-}
runs=${3:-3}

work=$(mktemp -d "${TMPDIR:-/tmp}/bench_long_work.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
python3 "$(dirname "$0")/large_gray_bmp.py" "$work/large.bmp" --shifted

run() {
  echo "== $1"
  mkdir -p "$work/out"
  QT_QPA_PLATFORM=offscreen "$2/bin/bench_long_work" "$work/large.bmp" "$work/out" "$runs"
}
[ -n "$before" ] && run "before ($before)" "$before"
run "after ($after)" "$after"
