#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds, and runs the main job: encode a card on the first reader,
# the virtual one when no reader is attached.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake --preset default >/dev/null
# Only the host, the virtual reader's provider it falls back to and the Python module; the tests
# build the rest.
cmake --build --preset default --target tarsin-rf tarsinrf-vpcsc tarsinrf_python
# The module goes where Debian's /usr/bin/python3 finds it: the system's site folder for root,
# the user's own otherwise.
site_folder=$(/usr/bin/python3 -c 'import os, site, sysconfig
print(sysconfig.get_path("platlib") if os.geteuid() == 0 else site.getusersitepackages())')
mkdir -p "$site_folder"
cp build/default/src/host/python/tarsinrf.cpython-*.so "$site_folder/"
# Without root, /var/lib/quillon/registry/ is not ours to write: keep every hive in the user's
# own folder, for the import and the encoding alike, so that card identification finds the
# table under HKEY_LOCAL_MACHINE. A folder chosen by the caller is kept.
if [ "$(id -u)" -ne 0 ]; then
  user_registry="${XDG_CONFIG_HOME:-$HOME/.config}/quillon/registry"
  export TARSIN_RF_REGISTRY_DIR="${TARSIN_RF_REGISTRY_DIR:-$user_registry}"
  mkdir -p "$TARSIN_RF_REGISTRY_DIR"
fi
# The default card-type table, into HKEY_LOCAL_MACHINE.
build/default/src/host/cli/tarsin-rf reg import examples/card-types.reg
# The component writes its log only into an existing folder.
mkdir -p "${XDG_DATA_HOME:-$HOME/.local/share}/Quillon/Nemora"
exec build/default/src/host/cli/tarsin-rf encode "$@"
