#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the tools need.
# This is the one install list of the project; nothing else is installed by hand.
#   tools/install-deps.sh           what the build and the tests need
#   tools/install-deps.sh package   and what making and checking the Debian package needs
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config make ccache mold
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-charts-dev qt6-translations-l10n
  libcurl4-openssl-dev libfmt-dev zlib1g-dev libchm-dev fp-utils
  libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev llvm-14
  python3-aiosmtpd
  xvfb xauth fonts-dejavu-core fontconfig
  openbox xdotool x11-apps
  desktop-file-utils appstream man-db
)
# The Debian package: CPack reads the programs' libraries with
# dpkg-shlibdeps (dpkg-dev), which needs file; lintian checks the result.
PACKAGING=(dpkg-dev file fakeroot lintian)

case "${1:-}" in
  "") ;;
  package) PACKAGES+=("${PACKAGING[@]}") ;;
  *) echo "usage: tools/install-deps.sh [package]" >&2; exit 2 ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo > /dev/null 2>&1; then
    {
      echo "These Debian packages are missing: ${missing[*]}"
      echo "Installing them needs root, and sudo is not installed. As root, run:"
      echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
      echo "then run this again."
    } >&2
    exit 1
  fi
  SUDO=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
