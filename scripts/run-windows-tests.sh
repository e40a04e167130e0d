#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Cross-builds TarsinRF.dll and its tests for Windows (mingw-w64) and runs the tests under Wine,
# in a Wine prefix made fresh for the run, on a virtual X server (the dialogs need one).
# Usage: scripts/run-windows-tests.sh [i686]
#   (no argument)  64-bit: every Windows test (CI's windows stage)
#   i686           32-bit: the three DLLs and the tests of what the width changes (registration
#                  and the VBScript host, the type library, the late-bound and vtable calls, the
#                  registry views; CI's windows-i686 stage)
#   TARSIN_RF_WINEPREFIX  the Wine prefix (default build/<preset>/wine-prefix)
# Changes to this machine: the i386 architecture added to dpkg, mingw-w64, widl, Wine (64-bit and
# 32-bit) and Xvfb installed with what they recommend when missing (about 2.5 GB,
# scripts/setup-debian.sh); the build in build/<preset>; the Wine prefix removed and made again;
# Wine's server stopped at the end. A prefix folder that this script did not make is never
# removed: the run stops instead.
set -euo pipefail
cd "$(dirname "$0")/.."
usage() { sed -n '3,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; }
case "${1:-}" in -h | --help) usage; exit 0 ;; "" | i686) ;; *) usage >&2; exit 2 ;; esac
preset=windows
# 32-bit Wine for both: the VBScript test imports the card-type table with the 32-bit regedit.
packages=(mingw-w64 mingw-w64-tools libwine-dev wine wine64 wine32:i386 xvfb xauth file
  googletest libfmt-dev nlohmann-json3-dev cmake ninja-build)
targets=()
tests=()
if [ "${1:-}" = i686 ]; then
  preset=windows-i686
  targets=(--target TarsinRF TarsinRFDialogs TarsinVirtualReader tests_ui_win32
    com_test platform_test)
  tests=(-R 'vbscript|com_test|platform')
fi
# Wine loads much of what it recommends at run time (X11 extensions, GnuTLS for its ciphers).
scripts/setup-debian.sh --with-recommends "${packages[@]}"

# The build runs Wine too (it writes the type library's IDL), so the prefix comes first. The
# first start builds it (about 20 s); its desktop process, started without a display, must have
# gone before the tests start Wine on the virtual X server: windows could not be shown on it.
export WINEPREFIX="${TARSIN_RF_WINEPREFIX:-$PWD/build/$preset/wine-prefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A prefix is removed only when this script made it (its mark inside), or it is the default one
# under the build folder: never a user's own Wine prefix named by mistake.
mark="$WINEPREFIX/.made-by-tarsin-rf-windows-tests"
if [ -e "$WINEPREFIX" ] && [ ! -e "$mark" ] &&
  [ "$WINEPREFIX" != "$PWD/build/$preset/wine-prefix" ]; then
  echo "run-windows-tests: $WINEPREFIX was not made by this script; it is left as it is." >&2
  echo "Name a new folder with TARSIN_RF_WINEPREFIX." >&2
  exit 2
fi
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
touch "$mark"
wineboot -i >/dev/null 2>&1
wineserver -w

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" "${targets[@]}"
xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset "$preset" "${tests[@]}"
wineserver -k || true
