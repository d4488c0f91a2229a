# Sourced by the command-line test scripts: WORK, a temporary folder removed
# on exit, and check, which runs a command and counts it as a failure (naming
# it) when it fails. A script ends with: exit $failures
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
failures=0
check() {  # description, command...
  local what=$1; shift
  if ! "$@"; then echo "FAILED: $what" >&2; failures=$((failures + 1)); fi
}
