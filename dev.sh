#!/usr/bin/env bash
# Set-up and everyday commands, for a fresh Debian 12 machine and after:
#   ./dev.sh run    install what is missing, build, run the main job on the simulated sensor
#   ./dev.sh test   install what is missing, build, run every test
#   ./dev.sh bench  build and run the benchmarks
#   ./dev.sh package  build the Debian package build/tolvane_<version>_<arch>.deb and check it with lintian
# A second call only rebuilds what changed.
set -euo pipefail
cd "$(dirname "$0")"

build() {
  bash tools/install-deps.sh "$@"
  [ -f build/default/build.ninja ] || cmake --preset default >/dev/null
  cmake --build --preset default
}

case "${1:-}" in
  run) build; bash tools/run-demo.sh ;;
  test) build; ctest --preset default ;;
  bench) build; bash tools/run-bench.sh ;;
  build) build ;;
  package)
    build package
    # The package is made from the install tree below /usr (CPack, with the
    # dependencies dpkg-shlibdeps reads from the programs).
    (cd build/default && cpack -G DEB > cpack.log) || { cat build/default/cpack.log; exit 1; }
    deb=$(ls -t build/tolvane_*.deb | head -n 1)
    echo "== $deb"
    dpkg-deb --field "$deb" Package Version Architecture Depends Recommends
    lintian --fail-on error "$deb"
    ;;
  *) echo "usage: ./dev.sh run|test|bench|package" >&2; exit 2 ;;
esac
