#!/usr/bin/env bash
# The main job on the embedded default: a portable tree made from the shipped
# data under build/portable, and the program run on it.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/default/src/app
home=build/portable
bash tools/make-portable.sh "$home"
export TOLVANE_HOME="$PWD/$home"

echo "== tolvane-cli --version"
"$bin/tolvane-cli" --version
echo "== tolvane-cli lang IDC_PNSN (English, German)"
"$bin/tolvane-cli" lang IDC_PNSN
"$bin/tolvane-cli" lang IDC_PNSN --column 1
