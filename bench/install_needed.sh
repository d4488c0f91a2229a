# Sourced by the benchmark scripts: installs the Debian packages a benchmark
# needs for itself (its peer, its source pictures), as root, when any is missing.
# Usage: install_needed WHO PACKAGE...
install_needed() {
  local who=$1; shift
  [ $# -gt 0 ] || return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "$who: $* missing and installing needs root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "$@" >/dev/null
}
