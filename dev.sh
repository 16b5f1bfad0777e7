#!/usr/bin/env bash
# Set-up and everyday commands, for a fresh Debian 12 machine and after:
#   ./dev.sh run    install what is missing, build, run the main job on the simulated sensor
#   ./dev.sh test   install what is missing, build, run every test
#   ./dev.sh bench  build and run the benchmarks
# A second call only rebuilds what changed.
set -euo pipefail
cd "$(dirname "$0")"

build() {
  bash tools/install-deps.sh
  [ -f build/default/build.ninja ] || cmake --preset default >/dev/null
  cmake --build --preset default
}

case "${1:-}" in
  run) build; bash tools/run-demo.sh ;;
  test) build; ctest --preset default ;;
  bench) build; bash tools/run-bench.sh ;;
  build) build ;;
  *) echo "usage: ./dev.sh run|test|bench" >&2; exit 2 ;;
esac
