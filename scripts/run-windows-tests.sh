#!/usr/bin/env bash
# Cross-builds TarsinRF.dll and its tests for Windows (mingw-w64) and runs the tests under Wine,
# in a Wine prefix made fresh for the run, on a virtual X server (the dialogs need one).
#   run-windows-tests.sh          64-bit: every Windows test (CI's windows stage)
#   run-windows-tests.sh i686     32-bit: the three DLLs and the tests of what the width changes
#                                 (registration and the VBScript host, the type library and the
#                                 dual interface's calls, the registry views; CI's windows-i686)
# Installs mingw-w64, widl, Wine (64-bit and 32-bit) and Xvfb first when they are missing
# (about 2.5 GB).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=windows
# 32-bit Wine for both: the VBScript test imports the card-type table with the 32-bit regedit.
packages=(mingw-w64 mingw-w64-tools libwine-dev wine wine64 wine32:i386 xvfb xauth file
  googletest libfmt-dev nlohmann-json3-dev cmake ninja-build)
targets=()
tests=()
if [ "${1:-}" = i686 ]; then
  preset=windows-i686
  targets=(--target TarsinRF TarsinRFDialogs TarsinVirtualReader configure_operator
    type_library_test platform_test)
  tests=(-R 'vbscript|type_library|platform')
fi
# Wine loads much of what it recommends at run time (X11 extensions, GnuTLS for its ciphers).
scripts/setup-debian.sh --with-recommends "${packages[@]}"

# The build runs Wine too (it writes the type library's IDL), so the prefix comes first. The
# first start builds it (about 20 s); its desktop process, started without a display, must have
# gone before the tests start Wine on the virtual X server: windows could not be shown on it.
export WINEPREFIX="${TARSIN_RF_WINEPREFIX:-$PWD/build/$preset/wine-prefix}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
wineboot -i >/dev/null 2>&1
wineserver -w

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" "${targets[@]}"
xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset "$preset" "${tests[@]}"
wineserver -k || true
