#!/usr/bin/env bash
# By hand, as root (not part of CI): the Debian package on a fresh Debian 12.
# Makes a minbase chroot with debootstrap, installs the package with apt-get
# (which brings its dependencies), and as a plain user there identifies the
# unit of the installed tolvane-sim with tolvane-cli, and prints tolvane's
# help. Needs debootstrap and the network path to Debian's mirror.
#   tools/check-package-debootstrap.sh build/tolvane_<version>_<arch>.deb [CHROOT_DIR]
set -euo pipefail
deb=$(realpath "${1:?usage: check-package-debootstrap.sh PACKAGE.deb [CHROOT_DIR]}")
root=${2:-/tmp/tolvane-bookworm}
mirror=${MIRROR:-http://deb.debian.org/debian}

if [ ! -x "$root/usr/bin/apt-get" ]; then
  debootstrap --variant=minbase bookworm "$root" "$mirror"
fi
cleanup() { umount "$root/dev/pts" "$root/proc" 2> /dev/null || true; }
trap cleanup EXIT
mount -t proc proc "$root/proc"
mkdir -p "$root/dev/pts"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
[ -e "$root/dev/ptmx" ] || ln -s pts/ptmx "$root/dev/ptmx"

cp "$deb" "$root/tmp/"
name=$(basename "$deb")
chroot "$root" /bin/sh -ec "
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -q ./tmp/$name
  id tech > /dev/null 2>&1 || useradd -m tech
"
echo "== as the plain user tech: tolvane-sim, then tolvane-cli identify"
chroot "$root" /bin/su - tech -c '
  set -e
  mkdir -p /tmp/sensors
  tolvane-sim --device-root /tmp/sensors --identity qr27 > /tmp/sim.txt 2>&1 &
  sleep 1
  cat /tmp/sim.txt
  TOLVANE_DEVICE_ROOT=/tmp/sensors tolvane-cli identify
  kill $!
  echo "== tolvane --help"
  tolvane --help
  echo "== tolvane --version"
  tolvane --version
  echo "== the user tree"
  find ~/.local ~/.config ~/Documents -maxdepth 4 | sort
'
