#!/usr/bin/env bash
# A short libFuzzer run of every fuzz target: SECONDS each (default 20), JOBS
# targets at a time (default: the number of cores).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
jobs=${FUZZ_JOBS:-$(nproc)}

run_one() {
  local f=$1 seconds=$2 name work
  name=$(basename "$f")
  work=$(mktemp -d)
  cp -r "fuzz/corpus/$name/." "$work/" 2>/dev/null || true
  if ! "$f" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
        -artifact_prefix="build/fuzz/$name-" "$work" 2>"build/fuzz/$name.log"; then
    echo "FAILED: $name"; tail -n 40 "build/fuzz/$name.log"
    rm -rf "$work"
    return 1
  fi
  echo "== $name (${seconds}s) $(grep -E '^#[0-9]+.*DONE' "build/fuzz/$name.log" | tail -n 1 || true)"
  rm -rf "$work"
}
export -f run_one

targets=()
for f in build/fuzz/fuzz/fuzz_*; do
  [ -x "$f" ] && [ -f "$f" ] && targets+=("$f")
done
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets under build/fuzz/fuzz" >&2; exit 1; }
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$1" "$2"' _ {} "$seconds"
