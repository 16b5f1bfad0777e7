#!/usr/bin/env bash
# Writes the shipped configuration files (data/Configs) from their
# descriptions in tests/config/ShippedConfigFilesTest.cpp, through the
# program's own writer (UTF-16 with byte-order mark, CR LF).
#   tools/make-shipped-configs.sh [BUILD_DIR]   (default build/configs)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/configs}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANE_WITH_UI=OFF -DTOLVANE_WITH_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target config_tests
TOLVANE_WRITE_SHIPPED_CONFIGS="$PWD/data/Configs" "$build/tests/config/config_tests" \
  --gtest_filter='Shipped/ShippedConfigFiles.AreWhatTheirDescriptionWrites/*'
ls -l data/Configs
