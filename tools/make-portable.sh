#!/usr/bin/env bash
# Lays out a portable tree (what TOLVANE_HOME points at) from the shipped data
# and the data the build produces (protected model files), plus what an
# installation provides: the user folders and the per-user settings key.
set -euo pipefail
cd "$(dirname "$0")/.."
home=${1:?usage: make-portable.sh DIR [BUILD_DIR]}
build=${2:-build/default}
mkdir -p "$home"/{Models,Configs,Programs,Logs,Settings}
# Shipped data is refreshed; what the user wrote (configurations, logs, settings) stays.
for d in data/*; do
  [ "$(basename "$d")" = Configs ] && continue
  [ "$(basename "$d")" = Programs ] && continue
  cp -r "$d" "$home"/
done
# Configuration files are the user's once there: shipped ones are only added.
cp -rn data/Configs/. "$home/Configs/"
# So are program files: a file of the same name in the tree is kept.
cp -rn data/Programs/. "$home/Programs/"
[ -d "$build/data" ] && cp -r "$build/data/." "$home"/
find "$home" -name '*.args' -delete

# The settings key Software/<CORPORATEID>/<PROGRAMNAME>/01, which the program
# opens but never creates.
value() { sed -n "s/^$1[[:space:]]*=[[:space:]]*\([^']*\).*/\1/p" "$home/Models/Corporate_Model" | head -n 1 | sed 's/[[:space:]]*$//'; }
key="$home/Settings/Software/$(value CORPORATEID)/$(value PROGRAMNAME)/01"
mkdir -p "$key"

# The quick start guide the build wrote is the guide of this tree (GFILE),
# the other values of the key stay as they are.
guide="Tolvane Quick Start Guide.pdf"
if [ -f "$home/Help/$guide" ]; then
  values="$key/values.reg"
  { if [ -f "$values" ]; then grep -v "^GFILE"$'\t' "$values" || true; fi
    printf 'GFILE\t%s\n' "$guide"; } > "$values.new"
  mv "$values.new" "$values"
fi
