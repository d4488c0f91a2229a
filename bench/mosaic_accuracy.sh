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

PY=/usr/bin/python3
[ -x "$PY" ] || PY=python3
need=()
"$PY" -c 'import cv2, numpy' 2>/dev/null || need+=(python3-opencv python3-numpy)
command -v pdftoppm >/dev/null || need+=(poppler-utils)
[ -f /usr/share/backgrounds/gnome/licorice-l.webp ] || need+=(gnome-backgrounds)
[ -f /usr/share/backgrounds/mate/nature/Wood.jpg ] || need+=(mate-backgrounds)
[ -f /usr/share/doc/libtasn1-doc/libtasn1.pdf ] || need+=(libtasn1-doc)
. "$ROOT/bench/install_needed.sh"
install_needed mosaic_accuracy "${need[@]}"

. "$ROOT/bench/release_cli.sh"
"$PY" "$ROOT/bench/mosaic_accuracy.py" --cli "$CLI" --work "$WORK" "$@"
