#!/usr/bin/env bash
# tools/install-deps.sh as a user who is not root: without sudo it says what
# to run as root and stops; with sudo it installs through it. The package
# tools are faked; nothing is installed.
set -euo pipefail
script=${1:?usage: install-deps-test.sh tools/install-deps.sh}
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-deps-XXXXXX")
trap '/bin/rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

bin=$work/bin
mkdir -p "$bin"
for tool in bash grep env; do ln -s "$(command -v $tool)" "$bin/$tool"; done
printf '#!/bin/bash\n[ "$1" = -u ] && echo 1000 || echo tester\n' > "$bin/id"
# Only cmake is installed.
printf '#!/bin/bash\n[ "${@: -1}" = cmake ] && echo "install ok installed"\nexit 0\n' > "$bin/dpkg-query"
printf '#!/bin/bash\necho "apt-get $*" >> %q\n' "$work/calls" > "$bin/apt-get"
chmod +x "$bin"/*

PATH=$bin
set +e
bash "$script" > "$work/out" 2> "$work/err" < /dev/null
status=$?
set -e
[ "$status" -eq 1 ] || fail "exit status $status without sudo (expected 1)"
grep -q "sudo is not installed. As root, run:" "$work/err" || fail "no message: $(< "$work/err")"
grep -q "apt-get install -y --no-install-recommends ninja-build " "$work/err" || fail "no command to run"
if grep -q " cmake " "$work/err"; then fail "an installed package is listed"; fi
[ ! -e "$work/calls" ] || fail "apt-get was run without root"

# With sudo, through sudo.
printf '#!/bin/bash\necho "sudo $*" >> %q\n' "$work/calls" > "$bin/sudo"
/bin/chmod +x "$bin/sudo"
bash "$script" > "$work/out" 2> "$work/err" < /dev/null || fail "with sudo: $(< "$work/err")"
grep -q "^sudo apt-get install -y -qq --no-install-recommends ninja-build" "$work/calls" ||
  fail "not installed through sudo: $(< "$work/calls")"

# An unknown argument.
set +e
bash "$script" nonsense > /dev/null 2>&1
status=$?
set -e
[ "$status" -eq 2 ] || fail "exit status $status for an unknown argument (expected 2)"
echo "install-deps: says what to run as root without sudo, installs through sudo with it"
