#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs
# as a new user (an empty home, no display): tolvane-sim plays the sensor,
# tolvane-cli identifies it; then the prefix is moved and it is done again
# with another new user. Also checks what the installation puts beside the
# programs: data, manual pages, desktop entry, AppStream metadata, udev rule.
set -euo pipefail
build=${1:?usage: install-test.sh BUILD_DIR}
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-install-XXXXXX")
sim=
cleanup() {
  if [ -n "$sim" ]; then kill "$sim" 2> /dev/null || true; wait "$sim" 2> /dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/first" > "$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }

# Runs PROGRAM ARGS... as a new user of HOME $1, without a display.
as_user() {
  local home=$1; shift
  mkdir -p "$home"
  env -i PATH=/usr/bin:/bin HOME="$home" TOLVANE_DEVICE_ROOT="$work/devices" "$@"
}

identify_in() {
  local prefix=$1 home=$2
  rm -rf "$work/devices"; mkdir -p "$work/devices"
  # Started without the function: a function in the background runs in a
  # subshell of its own, and $! would be that subshell, not the simulator
  # (killing it left the simulator running).
  mkdir -p "$home"
  env -i PATH=/usr/bin:/bin HOME="$home" TOLVANE_DEVICE_ROOT="$work/devices" \
    "$prefix/bin/tolvane-sim" --device-root "$work/devices" --identity qr27 > "$work/sim.txt" 2>&1 &
  sim=$!
  # The simulator prints its line once its adapter is registered.
  for _ in $(seq 200); do
    grep -q "^tolvane-sim: .* on " "$work/sim.txt" && break
    kill -0 "$sim" 2> /dev/null || { cat "$work/sim.txt"; fail "tolvane-sim ended"; }
    sleep 0.02
  done
  as_user "$home" "$prefix/bin/tolvane-cli" identify > "$work/identify.txt" 2> "$work/identify.err" ||
    { cat "$work/identify.txt" "$work/identify.err"; fail "tolvane-cli identify in $prefix"; }
  kill "$sim"; wait "$sim" 2> /dev/null || true; sim=
  grep -q "^Hardware model:    QR27-" "$work/identify.txt" || { cat "$work/identify.txt"; fail "no QR27 unit"; }
  grep -q "^Model file:        QRModel_QR27.txt" "$work/identify.txt" || { cat "$work/identify.txt"; fail "no model"; }
  [ ! -s "$work/identify.err" ] || { cat "$work/identify.err"; fail "tolvane-cli said something on standard error"; }
  # The user's tree, made by the first start.
  version=$("$prefix/bin/tolvane-cli" --version | sed 's/^tolvane-cli //')
  for d in .local/share/tolvane/Models .local/share/tolvane/Programs .local/share/tolvane/Logs Documents/tolvane/Configs; do
    [ -d "$home/$d" ] || fail "no $d in the new user's home"
  done
  [ -f "$home/Documents/tolvane/Configs/QR27_Factory.cfg" ] || fail "the shipped configurations were not added"
  grep -q "^VERSION	$version\$" "$home/.config/tolvane/Software/Kestrine/Tolvane/01/values.reg" || fail "no VERSION $version"
  grep -q "TOLVANE->Version $version Started" "$home/.local/share/tolvane/Logs/logfile.txt" || fail "no start in the log"
  # The window program's help needs no display.
  as_user "$home" "$prefix/bin/tolvane" --help | grep -q "^Usage: tolvane " || fail "tolvane --help"
}

before=$(cd "$work/first" && find . -type f -exec md5sum {} + | sort)
identify_in "$work/first" "$work/home1"
after=$(cd "$work/first" && find . -type f -exec md5sum {} + | sort)
[ "$before" = "$after" ] || fail "the installed tree was written to"

mv "$work/first" "$work/moved"
identify_in "$work/moved" "$work/home2"

# What the installation puts beside the programs.
p="$work/moved"
for f in share/tolvane/Models/Corporate_Model share/tolvane/Help/Tolvane.chm share/applications/tolvane.desktop \
    share/tolvane/Help/QR25.chm share/tolvane/Help/QR27.chm share/tolvane/Help/QR30.chm \
    share/tolvane/Drawings/QR25_Wiring.pdf share/tolvane/Drawings/QR30_Wiring_PumpDown.pdf \
    share/metainfo/example.kestrine.tolvane.metainfo.xml share/icons/hicolor/scalable/apps/tolvane.svg \
    lib/udev/rules.d/60-tolvane-adapter.rules share/doc/tolvane/copyright \
    share/man/man1/tolvane.1.gz share/man/man1/tolvane-cli.1.gz share/man/man1/tolvane-sim.1.gz; do
  [ -f "$p/$f" ] || fail "$f is not installed"
done
[ -z "$(find "$p/share/tolvane" -name '*.args')" ] || fail "the language file's argument list is installed"
desktop-file-validate "$p/share/applications/tolvane.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net --explain "$p/share/metainfo/example.kestrine.tolvane.metainfo.xml" > "$work/as.txt" ||
  { cat "$work/as.txt"; fail "appstreamcli validate"; }
for page in tolvane tolvane-cli tolvane-sim; do
  # Each page opens with man and says what the program's help says.
  text=$(MANWIDTH=200 man -l "$p/share/man/man1/$page.1.gz" 2> "$work/man.err") || fail "man $page"
  [ ! -s "$work/man.err" ] || { cat "$work/man.err"; fail "man $page warned"; }
  for opt in $("$p/bin/$page" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    [[ $text == *"$opt"* ]] || fail "the manual page of $page lacks $opt"
  done
done
echo "install test: identified the unit from $work/first and from the moved prefix"
