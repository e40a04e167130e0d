#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# Registers TarsinRF.dll in a Wine prefix of its own with Wine's tools of the DLL's width, runs a
# VBScript with cscript (last line "passed: N checks"), unregisters the DLL, checks its keys gone.
#   run-vbscript.sh [--import FILE.reg]... [--operator PROGRAM.exe] TarsinRF.dll script.vbs [arg]...
# --import: a .reg file into the 32-bit view, where a 32-bit installer leaves the card-type table.
# --operator: PROGRAM --operator answers the script's dialogs and must exit 0 (skipped without a
# display); it sets TARSIN_RF_TEST_DIALOGS. A TARSIN_RF_PCSC_LIBRARY file is given as a Wine path.
set -eu
imports="" operator=""
while :; do
  case "${1:-}" in
    --import) imports="$imports $(realpath "$2")" ;;
    --operator) operator=$(realpath "$2") ;;
    *) break ;;
  esac
  shift 2
done
dll=$(realpath "$1") script=$(realpath "$2")
# Debian's `wine` starts Wine's own programs as 32-bit ones once 32-bit Wine is installed: the
# 64-bit loader tests a 64-bit DLL, also where 32-bit programs cannot run.
wine=/usr/lib/wine/wine
case "$(file -b "$dll")" in PE32+*) wine=/usr/lib/wine/wine64 ;; esac
shift 2

clsid='{6724D44B-6870-45DE-B764-34E285C8A0E1}' progid='TarsinRF.Encoder'
typelib='{B2A0F9BC-CFEC-49E1-888F-E6A6EFEFA245}' interface='{89302E27-A68D-4BDB-835A-9C1E94187512}'

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/tarsin-wine.XXXXXX")
# No Mono or Gecko installer dialogs while the prefix is made.
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT

fail() { printf "run-vbscript: %s\n" "$*" >&2; exit 1; }
winepath_w() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
query() { "$wine" reg query "$@" 2>/dev/null | tr -d '\r'; }

"$wine" wineboot -i >/dev/null 2>&1 || fail "cannot make the Wine prefix"
for file in $imports; do
  "$wine" reg import "$(winepath_w "$file")" /reg:32 >/dev/null 2>&1 || fail "cannot import $file"
done
[ ! -f "${TARSIN_RF_PCSC_LIBRARY:-}" ] || TARSIN_RF_PCSC_LIBRARY=$(winepath_w "$TARSIN_RF_PCSC_LIBRARY")
"$wine" regsvr32 /s "$dll" || fail "regsvr32 failed"

# CreateObject shows ProgID to class to DLL; not the threading model nor the type library's keys.
query "HKCR\\CLSID\\$clsid\\InprocServer32" | grep -q 'ThreadingModel *REG_SZ *Apartment' ||
  fail "no apartment threading"
query "HKCR\\TypeLib\\$typelib" /s | grep -qiF "$(winepath_w "$dll")" ||
  fail "the type library does not name the DLL"
query "HKCR\\CLSID\\$clsid\\TypeLib" | grep -qF "$typelib" || fail "no type library for the class"

operator_pid=""
if [ -n "$operator" ] && [ -n "${DISPLAY:-}" ]; then
  export TARSIN_RF_TEST_DIALOGS=1
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
[ -z "$operator_pid" ] || wait "$operator_pid" ||
  fail "the dialogs were not as expected or not answered"

"$wine" regsvr32 /u /s "$dll" || fail "regsvr32 /u failed"
for key in "HKCR\\CLSID\\$clsid" "HKCR\\$progid" "HKCU\\Software\\Classes\\$progid" \
  "HKCR\\TypeLib\\$typelib" "HKCR\\Interface\\$interface"; do
  if "$wine" reg query "$key" >/dev/null 2>&1; then fail "$key is still registered"; fi
done
echo "run-vbscript: registered, ran and unregistered"
