#!/usr/bin/env bash
# Installs every build and test dependency of Stitchara on Debian 12.
# Run as root. Idempotent: quick when everything is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git ccache
  clang libclang-rt-14-dev llvm
  qt6-base-dev qt6-base-dev-tools qt6-l10n-tools qt6-translations-l10n libqt6svg6-dev libgl-dev
  libpng-dev libjpeg62-turbo-dev libtiff-dev libgif-dev zlib1g-dev
  libsane-dev sane-utils libsane1
  libcups2-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth
  libjpeg-turbo-progs libtiff-tools netpbm imagemagick
  poppler-utils cups printer-driver-cups-pdf
  desktop-file-utils appstream
  dbus dbus-daemon libxcb1-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: these packages are missing and installing needs root: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
echo "setup: all build and test dependencies are installed."
