#!/usr/bin/env bash
# Builds Stitchara and runs the whole test suite twice: a normal build and a
# build with AddressSanitizer and UndefinedBehaviorSanitizer; then each fuzz
# target for a short, bounded time. Installs missing dependencies first when
# run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-20}

if [ "$(id -u)" -eq 0 ]; then bash scripts/setup.sh; fi
export QT_QPA_PLATFORM=offscreen

# The printing end-to-end test prints through a real CUPS server to the
# cups-pdf queue "stitchara-pdf". As root the script starts cupsd when it is
# not running and adds the queue; otherwise that test is skipped, and it says why.
start_print_server() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "== print server: not root; the CUPS printing test will be skipped"
    return 0
  fi
  if ! command -v cupsd >/dev/null || ! command -v lpadmin >/dev/null; then
    echo "== print server: cupsd or lpadmin is missing; the CUPS printing test will be skipped"
    return 0
  fi
  if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    if ! cupsd >/tmp/stitchara-cupsd.log 2>&1; then
      echo "== print server: cupsd could not start ($(tail -n 1 /tmp/stitchara-cupsd.log)); the CUPS printing test will be skipped"
      return 0
    fi
    for _ in $(seq 20); do
      lpstat -r 2>/dev/null | grep -q "is running" && break
      sleep 0.5
    done
  fi
  if ! lpstat -r 2>/dev/null | grep -q "is running"; then
    echo "== print server: cupsd did not answer; the CUPS printing test will be skipped"
    return 0
  fi
  local ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
  if ! lpstat -p stitchara-pdf >/dev/null 2>&1; then
    if [ ! -f "$ppd" ] || ! lpadmin -p stitchara-pdf -E -v cups-pdf:/ -P "$ppd" 2>/dev/null; then
      echo "== print server: the cups-pdf queue could not be added; the CUPS printing test will be skipped"
      return 0
    fi
  fi
  echo "== print server: CUPS is running with the cups-pdf queue stitchara-pdf"
}
start_print_server

# Recompile only what changed between runs: ccache keyed on paths relative to
# the checkout, so another clone of the same sources hits the same cache.
LAUNCHER=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR=$ROOT CCACHE_NOHASHDIR=1
  LAUNCHER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

run_suite() {  # build-dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" -G Ninja -DSTITCHARA_BENCH=OFF "${LAUNCHER[@]}" "$@"
  cmake --build "$dir" -j "$JOBS"
  ctest --test-dir "$dir" --output-on-failure -j "$JOBS" --timeout 600
}

echo "== normal build"
run_suite build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== sanitized build (ASan + UBSan)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 LSAN_OPTIONS=suppressions=$ROOT/scripts/lsan.supp \
  run_suite build/asan -DCMAKE_BUILD_TYPE=Debug -DSTITCHARA_SANITIZE=ON

if [ -d platform/imflib/fuzz ] && command -v clang++ >/dev/null; then
  echo "== fuzzing (${FUZZ_SECONDS}s per target)"
  CC=clang CXX=clang++ cmake -S "$ROOT" -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSTITCHARA_FUZZ=ON -DSTITCHARA_TESTS=OFF -DSTITCHARA_BENCH=OFF -DSTITCHARA_GUI=OFF "${LAUNCHER[@]}"
  cmake --build build/fuzz -j "$JOBS"
  for f in build/fuzz/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    name=$(basename "$f")
    corpus=$(mktemp -d)
    seeds="platform/imflib/fuzz/corpus/${name#fuzz_}"
    [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
    echo "-- $name"
    "$f" -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 "$corpus" 2>&1 | tail -n 3
    rm -rf "$corpus"
  done
fi
echo "== all tests passed"
