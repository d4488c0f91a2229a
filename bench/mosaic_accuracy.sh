#!/usr/bin/env bash
# Mosaic accuracy: 24 grids of 3 to 9 pieces cut from pictures that Debian
# packages (photos, rendered wallpapers, manual pages), the pieces turned,
# scaled, exposed differently, noisy and some saved as JPEG, joined by
# stitchara-cli mosaic and by OpenCV's SCANS stitcher; success counts and times.
# Options go to mosaic_accuracy.py (--only TEXT, --no-opencv, --keep).
# Installs what it needs for itself when missing (run as root).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

. "$ROOT/bench/accuracy_setup.sh"
accuracy_setup mosaic_accuracy

. "$ROOT/bench/release_cli.sh"
"$PY" "$ROOT/bench/mosaic_accuracy.py" --cli "$CLI" --work "$WORK" "$@"
