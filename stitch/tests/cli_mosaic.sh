#!/usr/bin/env bash
# stitchara-cli mosaic end to end: nine generated pieces in any order, the
# same picture under a memory budget, two pieces as the pair engine joins
# them, and bad input refused with a message that names the piece.
set -u
CLI=$1
SAMPLES=$2
HERE=$(dirname "$0")
. "$HERE/../../base/testing/cli_check.sh"

# piece X Y W H OUT [SEED]: a window of the textured original SEED.
piece() {
  awk -v x0="$1" -v y0="$2" -v w="$3" -v h="$4" -v seed="${6:-7}" -f "$HERE/mosaic_piece.awk" >"$5"
}
for y in 0 120 240; do
  for x in 0 150 300; do piece $x $y 220 160 "$WORK/p_${y}_$x.ppm"; done
done
NINE=("$WORK"/p_240_300.ppm "$WORK"/p_0_0.ppm "$WORK"/p_120_150.ppm "$WORK"/p_0_300.ppm \
      "$WORK"/p_240_0.ppm "$WORK"/p_0_150.ppm "$WORK"/p_120_300.ppm "$WORK"/p_240_150.ppm \
      "$WORK"/p_120_0.ppm)

"$CLI" mosaic "${NINE[@]}" -o "$WORK/nine.bmp" >"$WORK/out" 2>/dev/null
check "nine pieces join" test $? -eq 0
check "the joined size is the original's" test "$("$CLI" info "$WORK/nine.bmp")" = \
  "type=TrueColor24 width=520 height=400 xdpi=96 ydpi=96 bits=24"
check "the report names the grid" grep -q "^mosaic: 9 pieces in a grid of 3 x 3, 12 overlaps used" "$WORK/out"
check "the report places each piece" grep -q "p_120_150.ppm: at 150.0,120.0 turned" "$WORK/out"

TMPDIR=$WORK "$CLI" mosaic "${NINE[@]}" -o "$WORK/swapped.bmp" --quiet --memory-limit 200000 >"$WORK/quiet"
check "nine pieces under a memory budget join" test $? -eq 0
check "the budget gives the same picture" cmp -s "$WORK/nine.bmp" "$WORK/swapped.bmp"
check "--quiet prints nothing" test ! -s "$WORK/quiet"
check "no swap file is left" test -z "$(ls "$WORK" | grep '^~tsv' || true)"

# Two pieces: the pair engine's picture, with the pieces' resolution.
"$CLI" mosaic "$SAMPLES/right.png" "$SAMPLES/left.png" -o "$WORK/pair.bmp" --quiet
check "two pieces join" test $? -eq 0
"$CLI" stitch "$SAMPLES/right.png" "$SAMPLES/left.png" --side left -o "$WORK/stitch.bmp" --quiet
check "two pieces are the pair engine's picture" cmp -s "$WORK/pair.bmp" "$WORK/stitch.bmp"
check "the pieces' resolution is kept" grep -q "xdpi=300 ydpi=300" <("$CLI" info "$WORK/pair.bmp")

# Bad input: exit 1 with a message, and no picture.
FOUR=("$WORK"/p_0_0.ppm "$WORK"/p_0_150.ppm "$WORK"/p_120_0.ppm "$WORK"/p_120_150.ppm)
refused() {  # description, expected text, pieces...
  local what=$1 text=$2; shift 2
  rm -f "$WORK/bad.bmp"
  "$CLI" mosaic "$@" -o "$WORK/bad.bmp" --quiet 2>"$WORK/err"
  check "$what: exit 1" test $? -eq 1
  check "$what: message" grep -q -- "$text" "$WORK/err"
  check "$what: no picture" test ! -e "$WORK/bad.bmp"
}
piece 0 0 220 160 "$WORK/other.ppm" 99
refused "a piece of another original" "could not place '$WORK/other.ppm'" "${FOUR[@]}" "$WORK/other.ppm"
piece 0 0 220 160 "$WORK/far.ppm" 7
piece 300 240 220 160 "$WORK/far2.ppm" 7
refused "two pieces with nothing in common" "nothing in common" "$WORK/far.ppm" "$WORK/far2.ppm"
refused "a piece given twice" "are the same picture" "${FOUR[@]}" "$WORK/p_0_0.ppm"
"$CLI" transform "$WORK/p_120_150.ppm" "$WORK/turned.ppm" --op rotate-right --quiet
refused "a piece turned by a quarter" "'$WORK/turned.ppm' lies turned: it fits once turned a quarter to the left" \
  "${FOUR[@]:0:3}" "$WORK/turned.ppm"
"$CLI" convert "$WORK/p_0_150.ppm" "$WORK/gray.pgm" --type gray256 --quiet
refused "colour and gray mixed" "must all be of one type" "$WORK/p_0_0.ppm" "$WORK/gray.pgm"
"$CLI" convert "$WORK/p_0_150.ppm" "$WORK/bw.pbm" --type bw --quiet
refused "a black and white piece" "true colour or 256 grays" "$WORK/p_0_0.ppm" "$WORK/bw.pbm"

"$CLI" mosaic "$WORK/p_0_0.ppm" -o "$WORK/x.bmp" --quiet 2>/dev/null
check "one piece is a usage error" test $? -eq 2
"$CLI" mosaic "${FOUR[@]}" --quiet 2>/dev/null
check "missing -o is a usage error" test $? -eq 2
"$CLI" mosaic "${NINE[@]}" "${NINE[@]}" -o "$WORK/x.bmp" --quiet 2>"$WORK/err"
check "more than 16 pieces is a usage error" test $? -eq 2
check "the limit is named" grep -q "at most 16 pieces" "$WORK/err"

exit $failures
