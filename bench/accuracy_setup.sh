# Sourced by the accuracy benchmarks after ROOT is set: PY is the Python with
# OpenCV, the pictures the cases are cut from are installed when missing,
# then CLI and WORK are set as release_cli.sh sets them.
# Usage: accuracy_setup WHO
accuracy_setup() {
  PY=/usr/bin/python3
  [ -x "$PY" ] || PY=python3
  local need=()
  "$PY" -c 'import cv2, numpy' 2>/dev/null || need+=(python3-opencv python3-numpy)
  command -v pdftoppm >/dev/null || need+=(poppler-utils)
  [ -f /usr/share/backgrounds/gnome/licorice-l.webp ] || need+=(gnome-backgrounds)
  [ -f /usr/share/backgrounds/mate/nature/Wood.jpg ] || need+=(mate-backgrounds)
  [ -f /usr/share/doc/libtasn1-doc/libtasn1.pdf ] || need+=(libtasn1-doc)
  . "$ROOT/bench/install_needed.sh"
  install_needed "$1" "${need[@]}"
}
