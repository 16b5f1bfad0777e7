#!/usr/bin/env bash
# A short libFuzzer run of every fuzz target: SECONDS each (default 20).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
status=0
for f in build/fuzz/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  name=$(basename "$f")
  work=$(mktemp -d)
  cp -r "fuzz/corpus/$name/." "$work/" 2>/dev/null || true
  echo "== $name (${seconds}s)"
  if ! "$f" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
        -artifact_prefix="build/fuzz/$name-" "$work" 2>"build/fuzz/$name.log"; then
    echo "FAILED: $name"; tail -n 40 "build/fuzz/$name.log"; status=1
  else
    grep -E '^#[0-9]+.*DONE' "build/fuzz/$name.log" | tail -n 1 || true
  fi
  rm -rf "$work"
done
exit $status
