#!/bin/sh
# Runs a Windows test program under Wine, on a virtual X screen of its own (24 bits a pixel, as
# Wine needs), in the Wine prefix given first (created on first use). Wine draws the windows'
# captions itself only with Decorated=N: without a window manager there would be none.
# Usage: run-under-wine.sh PREFIX PROGRAM [ARGUMENTS...]
set -eu
WINEPREFIX=$1
shift
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Decorated /d N /f >/dev/null 2>&1
  status=0
  wine "$@" || status=$?
  wineserver -w
  exit $status' run-under-wine "$@"
