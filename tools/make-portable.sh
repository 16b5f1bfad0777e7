#!/usr/bin/env bash
# Lays out a portable tree (what TOLVANE_HOME points at) from the shipped data:
# the installed data, plus the per-user folders the installation provides.
set -euo pipefail
cd "$(dirname "$0")/.."
home=${1:?usage: make-portable.sh DIR}
mkdir -p "$home"/{Models,Configs,Programs,Logs,Settings}
# Shipped data is refreshed; what the user wrote (configurations, logs, settings) stays.
cp -r data/. "$home"/
find "$home" -name '*.args' -delete
