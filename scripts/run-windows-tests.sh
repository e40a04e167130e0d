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
#   TARSIN_RF_REQUIRE_32BIT=1  fail, instead of building only, where 32-bit programs cannot run
# Some machines cannot run 32-bit programs at all (a kernel without IA-32 emulation: "Exec format
# error"). There the 64-bit run is whole (Wine's 64-bit tools import the card-type table into
# the 32-bit view), and the 32-bit run builds the three DLLs, from the 64-bit build's IDL, says
# plainly that it could not run its tests, and succeeds unless told to require them.
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
# 32-bit Wine for both: a 64-bit Wine prefix is made with its 32-bit half where it can run.
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
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
wineserver -w

runs_32bit=yes
/usr/lib/wine/wine --version >/dev/null 2>&1 || runs_32bit=no
build_only=no
[ "$preset" = windows-i686 ] && [ "$runs_32bit" = no ] && build_only=yes
configure=(-DTARSIN_TYPE_LIBRARY_IDL=)
if [ "$build_only" = yes ]; then
  echo "run-windows-tests: this machine cannot run 32-bit programs; the 32-bit build takes its" \
    "IDL from the 64-bit build" >&2
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target tarsinrf_interface_header
  configure=(-DTARSIN_TYPE_LIBRARY_IDL="$PWD/build/windows/src/TarsinRF.idl")
  # Test programs that cannot run are not worth CI's minutes: the DLLs alone.
  targets=(--target TarsinRF TarsinRFDialogs TarsinVirtualReader)
fi
cmake --preset "$preset" "${configure[@]}" >/dev/null
cmake --build --preset "$preset" "${targets[@]}"
if [ "$build_only" = yes ]; then
  wineserver -k || true
  echo "run-windows-tests: the 32-bit DLLs are built; their tests were NOT run: this machine" \
    "cannot run 32-bit programs (\"$(/usr/lib/wine/wine --version 2>&1 | tail -n 1 | sed "s/.*: //")\")" >&2
  [ "${TARSIN_RF_REQUIRE_32BIT:-0}" = 1 ] && exit 1
  exit 0
fi
xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset "$preset" "${tests[@]}"
wineserver -k || true
