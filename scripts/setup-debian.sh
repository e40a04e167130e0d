#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs every Debian package the project needs, or only the packages given as arguments
# (with --with-recommends, and what they recommend). Safe to run again: what is installed already
# is skipped. A package of another architecture (wine32:i386) adds that architecture first.
# Usage: scripts/setup-debian.sh [--with-recommends] [PACKAGE...]
# Changes to this machine, only when a package is missing: apt-get update (the package lists),
# then apt-get install of the missing packages (through sudo when not root); for a package of
# another architecture, dpkg --add-architecture first.
set -euo pipefail
usage() { sed -n '3,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; }
case "${1:-}" in -h | --help) usage; exit 0 ;; esac
recommends=--no-install-recommends
if [ "${1:-}" = --with-recommends ]; then
  recommends=--install-recommends
  shift
fi
packages=("$@")
[ ${#packages[@]} -gt 0 ] || packages=(
  cmake ninja-build g++ pkg-config
  libpcsclite-dev pcscd pcsc-tools
  qt6-base-dev qt6-tools-dev qt6-l10n-tools
  # The dialogs: libxcb to ask for the X server before Qt starts, the font they use, a
  # virtual X server for CI, and Qt's Wayland platform (a display that fails inside Qt).
  libxcb1-dev fonts-wine xvfb xauth qt6-wayland
  libsqlite3-dev sqlite3
  # The example log rotation's check.
  logrotate
  libssl-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev libfmt-dev
  pybind11-dev python3-dev python3-pyscard
  # The Python package's backend and its check: wheels and venvs without a package index.
  python3-setuptools python3-wheel python3-build python3-pip python3-venv
  # libfreefare's C API, the independent DESFire EV1 client of the end-to-end tests.
  libfreefare-dev
  # The benchmark driver's counts that do not vary with the load: instructions and system calls.
  valgrind strace
  dpkg-dev file
  # The Debian packages: their build, lintian, and a throwaway root to install them into.
  debhelper dh-python lintian mmdebstrap
  clang-format clang-tidy
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  for p in "${missing[@]}"; do
    case "$p" in
      *:*)
        architecture=${p#*:}
        dpkg --print-foreign-architectures | grep -qx "$architecture" ||
          $sudo dpkg --add-architecture "$architecture"
        ;;
    esac
  done
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "$recommends" "${missing[@]}"
fi
