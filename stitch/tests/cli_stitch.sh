#!/usr/bin/env bash
# stitchara-cli stitch end to end on the sample pair: Auto, the memory budget
# through swap files, Manual points, refused methods and usage errors.
set -u
CLI=$1
SAMPLES=$2
. "$(dirname "$0")/../../base/testing/cli_check.sh"
L=$SAMPLES/left.png R=$SAMPLES/right.png

"$CLI" stitch "$L" "$R" -o "$WORK/auto.bmp" --quiet
check "auto succeeds" test $? -eq 0
check "auto size" test "$("$CLI" info "$WORK/auto.bmp")" = "type=TrueColor24 width=999 height=585 xdpi=300 ydpi=300 bits=24"

"$CLI" stitch "$L" "$R" -o "$WORK/report.bmp" >"$WORK/out" 2>/dev/null
check "auto reports what it found" grep -q "^stitched: overlap [0-9]* pixels (chosen [0-9]*).*match quality [0-9]*%" "$WORK/out"
check "the report does not change the picture" cmp -s "$WORK/auto.bmp" "$WORK/report.bmp"

TMPDIR=$WORK "$CLI" stitch "$L" "$R" -o "$WORK/swapped.bmp" --quiet --memory-limit 300000
check "auto under a memory budget succeeds" test $? -eq 0
check "swap files give the same picture" cmp -s "$WORK/auto.bmp" "$WORK/swapped.bmp"
check "no swap file is left" test -z "$(ls "$WORK" | grep '^~tsv' || true)"

# Rest pixel (10, 6) lies on Main pixel (480, 10) when the pair is cut as it is.
"$CLI" stitch "$L" "$R" -o "$WORK/manual.bmp" --quiet --method manual --main-point 480,10 --rest-point 10,6
check "manual succeeds" test $? -eq 0
check "manual size" test "$("$CLI" info "$WORK/manual.bmp")" = "type=TrueColor24 width=1000 height=594 xdpi=300 ydpi=300 bits=24"

"$CLI" stitch "$L" "$R" -o "$WORK/semi.bmp" --quiet --method semi --main-point 482,12 --rest-point 10,6
check "semi-auto succeeds" test $? -eq 0
check "semi-auto equals auto" cmp -s "$WORK/auto.bmp" "$WORK/semi.bmp"

# Top and Bottom compare widths: 600 and 530 differ by far more than 4 %.
"$CLI" stitch "$L" "$R" -o "$WORK/x.bmp" --quiet --side bottom 2>"$WORK/err"
check "auto refused for seams of different sizes" test $? -eq 1
check "clear message for the seam sizes" grep -q "less than 4% in width" "$WORK/err"

if "$CLI" convert "$L" "$WORK/left256.bmp" --type color256 --quiet 2>/dev/null; then
  "$CLI" stitch "$WORK/left256.bmp" "$R" -o "$WORK/x.bmp" --quiet 2>"$WORK/err"
  check "auto refused for a 256-colour Main" test $? -eq 1
  check "clear message for the Main type" grep -q "true colour or 256 grays" "$WORK/err"
  "$CLI" stitch "$WORK/left256.bmp" "$R" -o "$WORK/m256.bmp" --quiet --method manual \
    --main-point 480,10 --rest-point 10,6
  check "manual works for a 256-colour Main" test $? -eq 0
fi

"$CLI" stitch "$L" "$R" --quiet 2>/dev/null
check "missing -o is a usage error" test $? -eq 2
"$CLI" stitch "$L" "$R" -o "$WORK/y.bmp" --overlap 0 --quiet 2>/dev/null
check "overlap 0 is a usage error" test $? -eq 2
"$CLI" stitch "$L" "$R" -o "$WORK/y.bmp" --method manual --quiet 2>/dev/null
check "manual without points is a usage error" test $? -eq 2
"$CLI" stitch "$L" "$R" -o "$WORK/y.bmp" --method manual --main-point 9999,0 --rest-point 0,0 --quiet 2>/dev/null
check "a point outside its picture fails" test $? -eq 1

exit $failures
