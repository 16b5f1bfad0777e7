#!/usr/bin/env bash
# The main job on the embedded default: a portable tree made from the shipped
# data under build/portable, the simulated sensor (tolvane-sim) registered as
# a USB adapter below it, and tolvane run on both; the simulator stops when
# tolvane ends. Without a display the headless job runs instead: tolvane-cli
# identifies the simulated unit.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TOLVANE_BUILD:-build/default}
bin=$build/src/app
home=build/portable
bash tools/make-portable.sh "$home" "$build"
export TOLVANE_HOME="$PWD/$home"
export TOLVANE_DEVICE_ROOT="$TOLVANE_HOME/Devices"
rm -rf "$TOLVANE_DEVICE_ROOT"
mkdir -p "$TOLVANE_DEVICE_ROOT"

echo "== tolvane-sim --identity qr27 (adapter below $TOLVANE_DEVICE_ROOT)"
simlog="$TOLVANE_HOME/Logs/tolvane-sim.txt"
: > "$simlog"
"$bin/sim/tolvane-sim" --device-root "$TOLVANE_DEVICE_ROOT" --identity qr27 >> "$simlog" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
# The simulator says where it is once its adapter entry exists.
for _ in $(seq 100); do
  grep -q "^tolvane-sim: .* on " "$simlog" && break
  kill -0 "$sim" 2>/dev/null || { cat "$simlog"; exit 1; }
  sleep 0.05
done
cat "$simlog"

if [ ! -x "$bin/gui/tolvane" ]; then
  echo "== tolvane was not built (TOLVANE_WITH_UI off): the headless job instead of the window"
  headless=1
elif [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "== no display (neither DISPLAY nor WAYLAND_DISPLAY is set): the headless job instead of the window"
  headless=1
else
  headless=0
fi

if [ "$headless" = 1 ]; then
  if "$bin/tolvane-cli" identify --help > /dev/null 2>&1; then
    echo "== tolvane-cli identify"
    "$bin/tolvane-cli" identify
  else
    echo "== tolvane-cli connect"
    "$bin/tolvane-cli" connect
  fi
else
  echo "== tolvane (ends when its window is closed)"
  "$bin/gui/tolvane"
fi
