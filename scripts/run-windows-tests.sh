#!/usr/bin/env bash
# Cross-builds TarsinRF.dll and its tests for 64-bit Windows (mingw-w64) and runs the tests under
# Wine, in a Wine prefix made fresh for the run, on a virtual X server (the dialogs need one).
# Usage: scripts/run-windows-tests.sh
#   TARSIN_RF_WINEPREFIX  the Wine prefix (default build/windows/wine-prefix)
# Changes to this machine: mingw-w64, Wine and Xvfb installed with what they recommend when
# missing (about 2 GB, scripts/setup-debian.sh); the build in build/windows; the Wine prefix
# removed and made again; Wine's server stopped at the end. A prefix folder that this script did
# not make is never removed: the run stops instead.
set -euo pipefail
cd "$(dirname "$0")/.."
usage() { sed -n '2,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; }
case "${1:-}" in -h | --help) usage; exit 0 ;; "") ;; *) usage >&2; exit 2 ;; esac
# Wine loads much of what it recommends at run time (X11 extensions, GnuTLS for its ciphers).
scripts/setup-debian.sh --with-recommends mingw-w64 wine wine64 xvfb xauth googletest \
  libfmt-dev nlohmann-json3-dev cmake ninja-build

cmake --preset windows >/dev/null
cmake --build --preset windows

export WINEPREFIX="${TARSIN_RF_WINEPREFIX:-$PWD/build/windows/wine-prefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A prefix is removed only when this script made it (its mark inside), or it is the default one
# under the build folder: never a user's own Wine prefix named by mistake.
mark="$WINEPREFIX/.made-by-tarsin-rf-windows-tests"
if [ -e "$WINEPREFIX" ] && [ ! -e "$mark" ] &&
  [ "$WINEPREFIX" != "$PWD/build/windows/wine-prefix" ]; then
  echo "run-windows-tests: $WINEPREFIX was not made by this script; it is left as it is." >&2
  echo "Name a new folder with TARSIN_RF_WINEPREFIX." >&2
  exit 2
fi
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
touch "$mark"
# The first start builds the prefix (about 20 s); the tests then start Wine in it quickly. Its
# desktop process, started without a display, must have gone before the tests start Wine on the
# virtual X server: windows could not be shown on it.
wineboot -i >/dev/null 2>&1
wineserver -w
xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows
wineserver -k || true
