#!/usr/bin/env bash
# Kills tolvane-cli with SIGKILL at random moments while it rewrites a file,
# RUNS times for each of two commands, and counts what each kill leaves
# beside the target: `settings set` (the per-user settings values file) and
# `read-config -o` (a configuration file, from the simulated QR27 unit).
# Every target must hold a whole version after every kill, and the next
# write of the same target must leave nothing else in its folder.
#
#   tools/kill-rewrites.sh [RUNS] [BUILD_DIR]      (default 300, build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-300}
build=${2:-build/default}
cli="$PWD/$build/src/app/tolvane-cli"
sim="$PWD/$build/src/app/sim/tolvane-sim"
work=$(mktemp -d)
simpid=
cleanup() {
  [ -n "$simpid" ] && kill "$simpid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

home="$work/home"
tools/make-portable.sh "$home" "$build" >/dev/null
export TOLVANE_HOME="$home" TOLVANE_DEVICE_ROOT="$work/devices"
"$sim" --device-root "$work/devices" --identity qr27 >/dev/null 2>&1 &
simpid=$!
for _ in $(seq 100); do
  "$cli" identify >/dev/null 2>&1 && break
  sleep 0.1
done

# Names in the target's folder other than the target.
others() { find "$(dirname "$1")" -mindepth 1 -maxdepth 1 ! -name "$(basename "$1")" | wc -l; }

# run NAME TARGET WINDOW_MS WHOLE_CHECK COMMAND...
run() {
  local name=$1 target=$2 window=$3 check=$4
  shift 4
  local leftAfterKill=0 leftAfterNext=0 broken=0
  "$@" >/dev/null 2>&1 || { echo "$name: the command fails without a kill" >&2; exit 1; }
  for _ in $(seq "$runs"); do
    "$@" >/dev/null 2>&1 &
    local pid=$!
    sleep "$(printf '0.%03d' $((RANDOM % window)))"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ "$(others "$target")" -gt 0 ] && leftAfterKill=$((leftAfterKill + 1))
    $check "$target" || broken=$((broken + 1))
    "$@" >/dev/null 2>&1
    [ "$(others "$target")" -gt 0 ] && leftAfterNext=$((leftAfterNext + 1))
  done
  printf '%-16s %d kills: %d left a temporary file, %d still had one after the next write, %d targets not whole\n' \
    "$name" "$runs" "$leftAfterKill" "$leftAfterNext" "$broken"
  [ "$leftAfterNext" -eq 0 ] && [ "$broken" -eq 0 ]
}

valuesWhole() { grep -q $'^PREF_UNITS\t' "$1"; }
configWhole() { iconv -f UTF-16 -t UTF-8 "$1" 2>/dev/null | grep -q "'End of File"; }

status=0
values="$(find "$home/Settings" -type d -name 01)/values.reg"
run "settings set" "$values" 120 valuesWhole "$cli" settings set PREF_UNITS Feet || status=1
mkdir -p "$work/out"
run "read-config -o" "$work/out/unit.txt" 700 configWhole "$cli" read-config -o "$work/out/unit.txt" || status=1
exit $status
