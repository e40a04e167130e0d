#!/usr/bin/env bash
# Cross-builds TarsinRF.dll and its tests for 64-bit Windows (mingw-w64) and runs the tests under
# Wine, in a Wine prefix made fresh for the run, on a virtual X server (the dialogs need one).
# Installs mingw-w64, Wine and Xvfb first when they are missing (about 2 GB).
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine loads much of what it recommends at run time (X11 extensions, GnuTLS for its ciphers).
scripts/setup-debian.sh --with-recommends mingw-w64 wine wine64 xvfb xauth googletest \
  libfmt-dev nlohmann-json3-dev cmake ninja-build

cmake --preset windows >/dev/null
cmake --build --preset windows

export WINEPREFIX="${TARSIN_RF_WINEPREFIX:-$PWD/build/windows/wine-prefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
# The first start builds the prefix (about 20 s); the tests then start Wine in it quickly. Its
# desktop process, started without a display, must have gone before the tests start Wine on the
# virtual X server: windows could not be shown on it.
wineboot -i >/dev/null 2>&1
wineserver -w
xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows
wineserver -k || true
