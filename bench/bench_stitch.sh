#!/usr/bin/env bash
# Stitch benchmark: an A4-sized scan pair at 300 dpi (two 2480 x 3508 24-bit
# pictures overlapping by 20 %) stitched by stitchara-cli with Auto and, in the
# same run, by OpenCV's stitcher in SCANS mode. Reports both times and both
# results' misregistration against the original page.
# Needs Debian's python3-opencv; installs it when missing (run as root).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

# Debian's interpreter: python3-opencv installs its module there.
PY=/usr/bin/python3
[ -x "$PY" ] || PY=python3
if ! "$PY" -c 'import cv2, numpy' 2>/dev/null; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "bench_stitch: python3-opencv is missing and installing it needs root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends python3-opencv python3-numpy >/dev/null
fi

. "$ROOT/bench/release_cli.sh"
"$PY" "$ROOT/bench/bench_stitch.py" --cli "$CLI" --work "$WORK" "$@"
