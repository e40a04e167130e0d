#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# with-pcscd.sh CMD...: runs CMD against a private pcscd that serves the virtual readers through
# libifd-tarsin-virtual.so, then stops that pcscd and returns CMD's exit status.
#   TARSIN_RF_IFD_DRIVER       path of the driver (required)
#   TARSIN_RF_VIRTUAL_READERS  the readers file (else the default one), one reader.conf entry each
#   TARSIN_RF_PCSCD_PRELOAD    libraries pcscd must load first (sanitizer runtimes of the driver)
# Only one pcscd can run on a machine: when another one runs, the script refuses (status 77).
set -u

driver=${TARSIN_RF_IFD_DRIVER:?set TARSIN_RF_IFD_DRIVER to the path of libifd-tarsin-virtual.so}
python=/usr/bin/python3
[ "$#" -gt 0 ] || { echo "usage: $0 CMD..." >&2; exit 2; }

# Runs of this script (CTest jobs, several checkouts) take turns.
exec 9>"${TMPDIR:-/tmp}/tarsin-rf-with-pcscd.lock"
flock -w 600 9 || { echo "with-pcscd: another run did not finish" >&2; exit 1; }

pidof pcscd >/dev/null 2>&1 &&
  { echo "with-pcscd: another pcscd is running (pid $(pidof pcscd)); refusing to start" >&2; exit 77; }

conf=$(mktemp -d "${TMPDIR:-/tmp}/tarsin-rf-pcscd.XXXXXX")
# One reader.conf entry per reader of the readers file; the driver finds the reader by its
# position, given as CHANNELID (pcscd takes DEVICENAME for a device file). pcscd numbers every
# reader of one library alike, so each reader gets its own copy of the driver.
"$python" - "$driver" "$conf" <<'PY' || { rm -rf "$conf"; exit 1; }
import json, os, shutil, sys
driver, folder = sys.argv[1], sys.argv[2]
path = os.environ.get("TARSIN_RF_VIRTUAL_READERS") or os.path.join(
    os.environ.get("XDG_DATA_HOME") or os.path.expanduser("~/.local/share"),
    "Quillon/Nemora/virtual-readers.json")
readers = json.load(open(path))["readers"] if os.path.exists(path) else [
    {"name": "Tarsin Virtual Reader 0"}, {"name": "Tarsin Virtual Reader 1"}]
os.mkdir(os.path.join(folder, "reader.conf.d"))
with open(os.path.join(folder, "reader.conf.d", "tarsin-virtual"), "w") as conf:
    for index, reader in enumerate(readers):
        library = os.path.join(folder, "libifd-tarsin-virtual-%d.so" % index)
        shutil.copy(driver, library)
        conf.write('FRIENDLYNAME "%s"\nLIBPATH %s\nCHANNELID %d\n\n' % (reader["name"], library, index))
PY

# An empty LD_PRELOAD loads nothing; pcscd's own leaks are not ours to report.
LD_PRELOAD=${TARSIN_RF_PCSCD_PRELOAD:-} ASAN_OPTIONS=detect_leaks=0 \
  /usr/sbin/pcscd --foreground --config "$conf/reader.conf.d" >"$conf/pcscd.log" 2>&1 &
pid=$!

stop() { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$conf"; }

tries=0
until "$python" -c 'import sys; from smartcard.System import readers; sys.exit(0 if readers() else 1)' \
    >/dev/null 2>&1; do
  tries=$((tries + 1))
  if [ "$tries" -ge 100 ] || ! kill -0 "$pid" 2>/dev/null; then
    echo "with-pcscd: pcscd did not list the virtual readers; its log:" >&2
    cat "$conf/pcscd.log" >&2
    stop
    exit 1
  fi
  sleep 0.1
done

# CMD may stop this pcscd (and no other) by its id.
TARSIN_RF_PCSCD_PID=$pid "$@"
status=$?
stop
exit "$status"
