#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Runs a VBScript against TarsinRF.dll under Wine, as a Windows host would meet the component: in
# a Wine prefix of its own, the DLL registered with regsvr32, the script run by cscript, the DLL
# unregistered at the end and its registry keys checked gone. Wine's tools of the DLL's width do
# that, as a host of that width sees it.
#   run-vbscript.sh [--import FILE.reg]... [--operator PROGRAM.exe] TarsinRF.dll script.vbs
#                   [script arguments...]
# --import puts a .reg file into the prefix's registry first (the card-type table), into the
# 32-bit view, as a 32-bit installer leaves it: a 64-bit DLL finds it in the other view.
# --operator starts PROGRAM --operator beside the script to answer the dialogs it opens, and sets
# TARSIN_RF_TEST_DIALOGS for the script; it must exit 0. Without a display it is left out. A
# TARSIN_RF_PCSC_LIBRARY that names a file of this machine is handed to Wine as its Windows path.
# The script prints "passed: N checks" as its last line when all its checks held.
set -eu
imports=""
operator=""
while :; do
  case "${1:-}" in
    --import) imports="$imports $(realpath "$2")" ;;
    --operator) operator=$(realpath "$2") ;;
    *) break ;;
  esac
  shift 2
done
dll=$(realpath "$1")
# Debian's `wine` (and wineboot, winepath) start Wine's own programs as 32-bit ones once 32-bit
# Wine is installed: the 64-bit loader starts the 64-bit ones, so that a 64-bit DLL is tested on
# a machine that cannot run 32-bit programs too.
case "$(file -b "$dll")" in
  PE32+*) wine=/usr/lib/wine/wine64 ;;
  *) wine=/usr/lib/wine/wine ;;
esac
script=$(realpath "$2")
shift 2

clsid='{6724D44B-6870-45DE-B764-34E285C8A0E1}'
progid='TarsinRF.Encoder'
typelib='{B2A0F9BC-CFEC-49E1-888F-E6A6EFEFA245}'
interface='{89302E27-A68D-4BDB-835A-9C1E94187512}'

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tarsin-wine.XXXXXX")
export WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"; }
trap cleanup EXIT

fail() { printf "run-vbscript: %s\n" "$*" >&2; exit 1; }
winepath_w() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

"$wine" wineboot -i >/dev/null 2>&1 || fail "cannot make the Wine prefix"
for file in $imports; do
  "$wine" reg import "$(winepath_w "$file")" /reg:32 >/dev/null 2>&1 || fail "cannot import $file"
done
if [ -f "${TARSIN_RF_PCSC_LIBRARY:-}" ]; then
  TARSIN_RF_PCSC_LIBRARY=$(winepath_w "$TARSIN_RF_PCSC_LIBRARY")
  export TARSIN_RF_PCSC_LIBRARY
fi
"$wine" regsvr32 /s "$dll" || fail "regsvr32 failed"

# The server key is apartment-threaded (the script's CreateObject shows that the ProgID leads to
# the class and the class to this DLL).
"$wine" reg query "HKCR\\CLSID\\$clsid\\InprocServer32" 2>/dev/null | tr -d '\r' |
  grep -q 'ThreadingModel *REG_SZ *Apartment' || fail "no apartment threading"
# The type library names the DLL for its platform; the class leads to it.
"$wine" reg query "HKCR\\TypeLib\\$typelib" /s 2>/dev/null | tr -d '\r' | grep -qiF "$(winepath_w "$dll")" ||
  fail "the type library is not registered"
"$wine" reg query "HKCR\\CLSID\\$clsid\\TypeLib" 2>/dev/null | tr -d '\r' | grep -qF "$typelib" ||
  fail "the class does not lead to its type library"

operator_pid=""
if [ -n "$operator" ] && [ -n "${DISPLAY:-}" ]; then
  TARSIN_RF_TEST_DIALOGS=1
  export TARSIN_RF_TEST_DIALOGS
  "$wine" "$operator" --operator &
  operator_pid=$!
fi
status=0
"$wine" cscript //nologo "$(winepath_w "$script")" "$@" >"$WINEPREFIX/output" 2>&1 || status=$?
tr -d '\r' <"$WINEPREFIX/output"
last=$(tr -d '\r' <"$WINEPREFIX/output" | tail -n 1)
case "$last" in
  "passed: "*) ;;
  *" checks failed") fail "$last" ;;
  *) fail "the script did not finish (exit status $status)" ;;
esac
[ "$status" -eq 0 ] || fail "the script exited with $status"
if [ -n "$operator_pid" ]; then
  wait "$operator_pid" || fail "the dialogs were not as expected or not answered"
fi

"$wine" regsvr32 /u /s "$dll" || fail "regsvr32 /u failed"
for key in "HKCR\\CLSID\\$clsid" "HKCR\\$progid" "HKCU\\Software\\Classes\\$progid" \
  "HKCR\\TypeLib\\$typelib" "HKCR\\Interface\\$interface"; do
  if "$wine" reg query "$key" >/dev/null 2>&1; then fail "$key is still registered"; fi
done
echo "run-vbscript: registered, ran and unregistered"
