#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the tools need.
# This is the one install list of the project; nothing else is installed by hand.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config make ccache
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev
  libcurl4-openssl-dev libfmt-dev zlib1g-dev libchm-dev fp-utils
  libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev llvm-14
  python3-aiosmtpd
  xvfb xauth fonts-dejavu-core fontconfig
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
