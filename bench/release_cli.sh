# Sourced by the stitch benchmarks after ROOT is set: CLI=path uses an already
# built stitchara-cli; otherwise a release build is made (BUILD names its
# folder, build/release by default). WORK is a temporary folder, removed on exit.
if [ -z "${CLI:-}" ]; then
  BUILD=${BUILD:-$ROOT/build/release}
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSTITCHARA_TESTS=OFF \
    -DSTITCHARA_BENCH=OFF -DSTITCHARA_GUI=OFF >/dev/null
  cmake --build "$BUILD" --target stitchara-cli >/dev/null
  CLI=$BUILD/bin/stitchara-cli
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
