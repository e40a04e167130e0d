#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Sets up a Debian 12 machine, builds, and runs the main job: a DESFire card personalised with
# examples/desfire-personalise.txt (two applications, keys changed, one file of each kind,
# records and values) and then shown with `tarsin-rf show`.
#
# Usage: scripts/run-main-job.sh [--reader NAME [--format]]
#   Without --reader the job runs on the virtual reader's DESFire card, made blank first. A real
#   card is touched only on the reader named, and a card that already holds applications is
#   formatted (erased) only with --format.
# Changes to this machine: the packages of scripts/setup-debian.sh; the build in build/default;
# the Python module tarsinrf and its stub copied into the system's site folder (root) or the user's
# own; the card-type table imported into the registry (/var/lib/quillon/registry as root, else
# $TARSIN_RF_REGISTRY_DIR, by default ~/.config/quillon/registry, created); the log folder
# Quillon/Nemora created in the user's data folder; the virtual readers' file reset or written.
set -euo pipefail
cd "$(dirname "$0")/.."
usage() { sed -n '3,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; }
reader=""
format=0
while [ $# -gt 0 ]; do
  case "$1" in
    --reader) reader=${2:?--reader takes a reader name}; shift 2 ;;
    --format) format=1; shift ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done

scripts/setup-debian.sh
cmake --preset default >/dev/null
# The host, the virtual reader's provider and the Python module; the tests build the rest.
cmake --build --preset default --target tarsin-rf tarsinrf-vpcsc tarsinrf_python
# The module goes where Debian's /usr/bin/python3 finds it: the system's site folder for root,
# the user's own otherwise.
site_folder=$(/usr/bin/python3 -c 'import os, site, sysconfig
print(sysconfig.get_path("platlib") if os.geteuid() == 0 else site.getusersitepackages())')
mkdir -p "$site_folder"
cp build/default/src/host/python/tarsinrf.cpython-*.so build/default/src/host/python/tarsinrf.pyi \
  "$site_folder/"
# Without root, /var/lib/quillon/registry/ is not ours to write: keep every hive in the user's
# own folder, for the import and the encoding alike, so that card identification finds the
# table under HKEY_LOCAL_MACHINE. A folder chosen by the caller is kept.
if [ "$(id -u)" -ne 0 ]; then
  user_registry="${XDG_CONFIG_HOME:-$HOME/.config}/quillon/registry"
  export TARSIN_RF_REGISTRY_DIR="${TARSIN_RF_REGISTRY_DIR:-$user_registry}"
  mkdir -p "$TARSIN_RF_REGISTRY_DIR"
fi
tarsin_rf=build/default/src/host/cli/tarsin-rf
# The default card-type table, into HKEY_LOCAL_MACHINE.
$tarsin_rf reg import examples/card-types.reg
# The component writes its log only into an existing folder.
mkdir -p "${XDG_DATA_HOME:-$HOME/.local/share}/Quillon/Nemora"

on=()
if [ -z "$reader" ]; then
  reader="Tarsin Virtual Reader 1"
  on=(--virtual)
  scripts/prepare-virtual-card.sh "$tarsin_rf" "$reader"
fi
params="device=$reader;protocol=2;open_mode=2"
applications=$($tarsin_rf show "${on[@]}" -p "$params" --json |
  /usr/bin/python3 -c 'import json, sys; print(len(json.load(sys.stdin).get("applications", [])))')
if [ "$applications" != 0 ]; then
  if [ "$format" -eq 0 ]; then
    echo "The card on \"$reader\" holds $applications application(s); --format erases them." >&2
    exit 1
  fi
  printf 'DESFireSelectRoot "0000000000000000"\nDESFireFormat\n' |
    $tarsin_rf run "${on[@]}" --params "$params" --open --stop-on-error -
fi
echo "== Personalising the DESFire card on \"$reader\""
$tarsin_rf run "${on[@]}" --params "$params" --stop-on-error examples/desfire-personalise.txt
echo "== What the card holds now"
exec $tarsin_rf show "${on[@]}" -p "$params" \
  --app-key A1A2A3=0123456789ABCDEF --app-key B1B2B3=FEDCBA9876543210
