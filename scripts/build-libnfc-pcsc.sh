#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs libfreefare's tools and builds Debian's libnfc with its PC/SC driver (Debian's own
# libnfc has none), so that the tools can reach a card through pcscd. The tools link libnfc.so.6
# dynamically: put the folder this script prints first in LD_LIBRARY_PATH to use the PC/SC build.
#   LIBNFC_PCSC_PREFIX  where the build is installed (default /opt/libnfc-pcsc)
# Safe to run again: an existing build is kept.
# Usage: scripts/build-libnfc-pcsc.sh
# Changes to this machine (through sudo when not root): apt-get install of libfreefare-bin and
# the build tools; when apt has no source lines, "deb-src" added to
# /etc/apt/sources.list.d/debian.sources and /etc/apt/sources.list.d/deb-src-mirror.list written,
# then apt-get update; libnfc installed under the prefix. Its temporary build folder is removed.
set -euo pipefail
usage() { sed -n '3,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; }
case "${1:-}" in -h | --help) usage; exit 0 ;; "") ;; *) usage >&2; exit 2 ;; esac
prefix=${LIBNFC_PCSC_PREFIX:-/opt/libnfc-pcsc}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
apt=($sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600)

packages=(libfreefare-bin dpkg-dev cmake make gcc libpcsclite-dev pkg-config)
"${apt[@]}" install -y --no-install-recommends "${packages[@]}" ||
  { "${apt[@]}" update && "${apt[@]}" install -y --no-install-recommends "${packages[@]}"; }
if [ -e "$prefix/lib/libnfc.so.6" ]; then
  echo "$prefix/lib"
  exit 0
fi

# Source lines mirroring the binary ones, so that apt-get source finds the package.
if ! apt-get indextargets --format '$(IDENTIFIER)' 2>/dev/null | grep -qx Sources; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    $sudo sed -i -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb deb-src/' \
      /etc/apt/sources.list.d/debian.sources
  fi
  if [ -f /etc/apt/sources.list ]; then
    sed -n -E 's/^deb[[:space:]]/deb-src /p' /etc/apt/sources.list |
      $sudo tee /etc/apt/sources.list.d/deb-src-mirror.list >/dev/null
  fi
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fetch() {
  (cd "$work" && apt-get source --download-only libnfc && dpkg-source -x libnfc_*.dsc source) \
    >"$work/source.log" 2>&1
}
# The source index may be missing until the next update.
fetch || { "${apt[@]}" update >/dev/null && fetch; } || { cat "$work/source.log" >&2; exit 1; }
cmake -S "$work/source" -B "$work/build" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON -DBUILD_UTILS=OFF -DBUILD_EXAMPLES=OFF \
  -DLIBNFC_DRIVER_PCSC=ON -DLIBNFC_DRIVER_ACR122_PCSC=OFF -DLIBNFC_DRIVER_ACR122_USB=OFF \
  -DLIBNFC_DRIVER_ACR122S=OFF -DLIBNFC_DRIVER_ARYGON=OFF -DLIBNFC_DRIVER_PN532_UART=OFF \
  -DLIBNFC_DRIVER_PN532_SPI=OFF -DLIBNFC_DRIVER_PN532_I2C=OFF -DLIBNFC_DRIVER_PN53X_USB=OFF \
  >"$work/configure.log" 2>&1 || { cat "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" -j2 >"$work/build.log" 2>&1 ||
  { tail -50 "$work/build.log" >&2; exit 1; }
$sudo cmake --install "$work/build" >/dev/null
[ -e "$prefix/lib/libnfc.so.6" ] ||
  { echo "no $prefix/lib/libnfc.so.6 after the build" >&2; exit 1; }
echo "$prefix/lib"
