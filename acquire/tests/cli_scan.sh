#!/usr/bin/env bash
# stitchara-cli scan against the scanner library's test backend, in a
# private configuration: the same pixels as scanimage with the same options,
# a feeder batch, the device list, faults and usage errors.
set -u
CLI=$1
. "$(dirname "$0")/../../base/testing/cli_check.sh"
export SANE_CONFIG_DIR=$WORK/sane STITCHARA_INI=$WORK/stitchara.ini
# The test backend leaks (a reader's line buffer when its thread is stopped
# between pages, its copy of the configuration path): held loaded, its frames
# keep their library's name, which the leak check's suppressions name.
export STITCHARA_SANE_KEEP=test
mkdir -p "$SANE_CONFIG_DIR"
echo test > "$SANE_CONFIG_DIR/dll.conf"
printf 'number_of_devices 2\ntest-picture "Color pattern"\n' > "$SANE_CONFIG_DIR/test.conf"

check "two devices listed" test "$("$CLI" scan --list | cut -f1 | tr '\n' ' ')" = "test:0 test:1 "

# The scanner test backend's reading thread can, rarely, hang as it ends (seen
# waiting on the C library's memory lock at thread exit): a scan that has not
# ended in a minute is stopped and tried once more.
scan_with_test_backend() {
  timeout 60 "$CLI" scan "$@"
  local rc=$?
  if [ $rc -eq 124 ]; then
    echo "the scan hung in the test backend; trying once more" >&2
    timeout 60 "$CLI" scan "$@"
    rc=$?
  fi
  return $rc
}

if command -v scanimage >/dev/null; then
  # mode, scanimage's options, ours, file extension
  while IFS='|' read -r name theirs ours ext; do
    # shellcheck disable=SC2086
    scanimage -d test:1 $theirs --format=pnm > "$WORK/ref.$ext" 2>/dev/null
    check "$name: scanimage scans" test -s "$WORK/ref.$ext"
    # shellcheck disable=SC2086
    scan_with_test_backend -o "$WORK/ours.$ext" --device test:1 $ours --quiet
    check "$name: scan succeeds" test $? -eq 0
    # Both through the same writer, so that only the pixels can differ.
    "$CLI" convert "$WORK/ref.$ext" "$WORK/ref2.$ext" --quiet
    check "$name: same pixels as scanimage" cmp -s "$WORK/ours.$ext" "$WORK/ref2.$ext"
  done <<'CASES'
colour|--mode Color --resolution 50|--mode color --resolution 50|ppm
gray with an area|--mode Gray --depth 8 --resolution 100 -l 10 -t 20 -x 60 -y 40|--mode gray --resolution 100 --area 10,20,60,40|pgm
lineart|--mode Gray --depth 1 --resolution 75 -l 5 -t 5 -x 33 -y 44|--mode lineart --resolution 75 --area 5,5,33,44|pbm
CASES
else
  echo "scanimage not installed: the comparison is skipped" >&2
fi

scan_with_test_backend -o "$WORK/c.bmp" --mode color --resolution 72 --quiet
check "resolution kept" test "$("$CLI" info "$WORK/c.bmp")" = "type=TrueColor24 width=226 height=283 xdpi=72 ydpi=72 bits=24"

scan_with_test_backend -o "$WORK/page.png" --batch --mode gray --resolution 20 --quiet
check "batch succeeds" test $? -eq 0
check "ten feeder pages" test "$(ls "$WORK" | grep -c '^page-[0-9]*\.png$')" -eq 10

"$CLI" scan -o "$WORK/x.png" --device test:9 --quiet 2>"$WORK/err"
check "missing device fails" test $? -eq 1
check "missing device message" grep -q "The scanner driver could not be started" "$WORK/err"
check "nothing written" test ! -e "$WORK/x.png"

STITCHARA_SANE_LIBRARY=libsane-not-here.so.1 "$CLI" scan -o "$WORK/x.png" --quiet 2>"$WORK/err"
check "no library fails" test $? -eq 1
check "no library message" grep -q "not installed" "$WORK/err"

"$CLI" scan -o "$WORK/x.png" --mode infrared 2>/dev/null
check "unknown mode is a usage error" test $? -eq 2
"$CLI" scan --mode color 2>/dev/null
check "missing output is a usage error" test $? -eq 2
"$CLI" scan -o "$WORK/x.png" --area 1,2,3 2>/dev/null
check "short area is a usage error" test $? -eq 2

if [ "$failures" -ne 0 ]; then echo "$failures failed" >&2; exit 1; fi
echo "cli scan: all checks passed"
