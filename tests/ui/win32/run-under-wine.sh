#!/bin/sh
# Runs a Windows test program under Wine, on a virtual X screen of its own (24 bits a pixel, as
# Wine needs), in the Wine prefix given first (created on first use). There is no window manager:
# Wine draws the windows' captions itself only with Decorated=N, and with Managed=N it no longer
# waits two seconds for a window manager each time a window closes. The close button's glyph is
# Marlett's, which this Wine finds only in the prefix's own font folder.
# Usage: run-under-wine.sh PREFIX PROGRAM [ARGUMENTS...]
set -eu
WINEPREFIX=$1
shift
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  for setting in Decorated Managed; do
    wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v $setting /d N /f >/dev/null 2>&1
  done
  fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [ -e "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true
  status=0
  wine "$@" || status=$?
  wineserver -w
  exit $status' run-under-wine "$@"
