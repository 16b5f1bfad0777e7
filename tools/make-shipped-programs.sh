#!/usr/bin/env bash
# Writes the shipped program files (data/Programs) through the program's own
# writers (tolvane-cli firmware image and firmware pack). The contents are
# images for the simulated unit, not real sensor firmware; the same script
# writes the same bytes every time.
#   tools/make-shipped-programs.sh [BUILD_DIR]   (default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
cmake --build "$build" --target tolvane-cli >/dev/null
cli="$build/src/app/tolvane-cli"
out=data/Programs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
rm -f "$out"/*.fp2 "$out"/*.fep "$out"/*.pkt

# One line per PROGRAMNAME of the shipped models: the name, the file prefix
# (letters, then the unit range that Select Program shows) and the size of
# the newest image.
while read -r program prefix newest; do
  seed=$(printf '%s' "$program" | cksum | cut -d' ' -f1)
  # version text, revision, image bytes, name suffix
  while read -r version revision size suffix; do
    name="${prefix}ver${version}${suffix}"
    "$cli" firmware image "$work/$name.fep" --program "$program" --revision "$revision" --size "$size" \
      --seed "$((seed + revision))" --verify-packet "$work/$name.pkt" >/dev/null
    "$cli" firmware pack "$out/$name.fp2" --pid "$program-$version" "$work/$name.fep" "$work/$name.pkt" >/dev/null
  done <<VERSIONS
51p0 510 16384 old
52p1 521 24576
52p4 524 $newest
VERSIONS
  # An encrypted image and a packet file of their own.
  "$cli" firmware image "$out/${prefix}ver52p3.fep" --program "$program" --revision 523 --size 49152 \
    --seed "$((seed + 523))" >/dev/null
  printf '\xa5\x01\x36\xdc' > "$out/${prefix}ver52p3.pkt"   # erase the history page
done <<PROGRAMS
QR25 QRA8 32768
QR27 QRB12 131071
QR30 QRC15 65536
QRLVL QRLVL12 32768
QRRLY QRRLY15 32768
PROGRAMS
ls -l "$out"
