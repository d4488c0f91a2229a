#!/usr/bin/env bash
# Stitch accuracy: 48 pairs cut from pictures that Debian packages (rendered
# wallpapers, manual pages at 300 and 450 dpi) with exposure differences,
# sparse text, small turns and scales, on four sides and in three sizes,
# stitched by stitchara-cli Auto and Semi-Auto and by OpenCV's SCANS stitcher;
# success counts and times, then three pairs that must be refused.
# Options go to stitch_accuracy.py (--subset N: every N-th pair; --no-opencv).
# Installs what it needs for itself when missing (run as root).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

. "$ROOT/bench/accuracy_setup.sh"
accuracy_setup stitch_accuracy

. "$ROOT/bench/release_cli.sh"
"$PY" "$ROOT/bench/stitch_accuracy.py" --cli "$CLI" --work "$WORK" "$@"
