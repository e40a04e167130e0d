#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Makes the card on virtual reader READER blank for the main job, leaving the rest of the user's
# readers file as it is: a missing file gets the default readers; a file without READER (or one
# that cannot be read) is never written over, and the job stops and says so.
# Usage: scripts/prepare-virtual-card.sh TARSIN_RF READER
# Changes to this machine: the card of READER in the virtual readers' file made blank, or a
# missing readers file written with the default readers.
set -euo pipefail
usage() { sed -n '3,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; }
case "${1:-}" in -h | --help) usage; exit 0 ;; esac
[ $# -eq 2 ] || { usage >&2; exit 2; }
tarsin_rf=$1
reader=$2
# A file that cannot be used is told on the error output: missing, or corrupt.
if listing=$("$tarsin_rf" virtual show 2>&1); then
  readers_file=$(head -n 1 <<<"$listing")
  if ! /usr/bin/python3 -c 'import json, sys
readers = json.load(open(sys.argv[1])).get("readers", [])
sys.exit(0 if any(entry.get("name") == sys.argv[2] for entry in readers) else 1)' \
    "$readers_file" "$reader"; then
    echo "The readers file $readers_file has no reader \"$reader\"; add it with a DESFire card," \
      "or name another file in TARSIN_RF_VIRTUAL_READERS." >&2
    exit 1
  fi
  exec "$tarsin_rf" virtual reset --reader "$reader" >/dev/null
fi
readers_file=$(sed -n '1s/^tarsin-rf: \(.*\): no readers file yet.*/\1/p' <<<"$listing")
if [ -z "$readers_file" ] || [ -e "$readers_file" ]; then
  echo "The readers file ${readers_file:-?} cannot be read; it is left as it is." >&2
  exit 1
fi
exec "$tarsin_rf" virtual init >/dev/null
