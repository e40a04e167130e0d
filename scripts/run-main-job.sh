#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds, and runs the main job: encode a card on the first reader,
# the virtual one when no reader is attached.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
cmake --preset default >/dev/null
cmake --build --preset default
# The default card-type table, into HKEY_LOCAL_MACHINE (/var/lib/quillon/registry/).
build/default/src/host/cli/tarsin-rf reg import examples/card-types.reg
# The component writes its log only into an existing folder.
mkdir -p "${XDG_DATA_HOME:-$HOME/.local/share}/Quillon/Nemora"
exec build/default/src/host/cli/tarsin-rf encode "$@"
