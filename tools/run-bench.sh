#!/usr/bin/env bash
# Runs every benchmark and prints its figures.
set -euo pipefail
cd "$(dirname "$0")/.."
shopt -s nullglob
for b in build/default/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
