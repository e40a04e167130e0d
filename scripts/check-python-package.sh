#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Python package as Python users install it: a wheel built with `python3 -m build`, installed
# into a fresh plain venv, where the module, the virtual reader and the DESFire example must work;
# then `pip install .` into a second venv that sees the system's packages. The configured build
# BUILD_DIR (default build/default) is reused when there is one.
# Usage: scripts/check-python-package.sh [BUILD_DIR]
# Changes to this machine: the build in BUILD_DIR brought up to date, setuptools' build/lib.* and
# tarsinrf.egg-info in the source tree; the wheel and the venvs live in a temporary folder, removed
# at the end.
set -euo pipefail
usage() { sed -n '3,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; }
case "${1:-}" in -h | --help) usage; exit 0 ;; esac
cd "$(dirname "$0")/.."
source=$PWD
build=${1:-build/default}
[ -f "$build/CMakeCache.txt" ] && TARSIN_RF_BUILD_DIR=$(cd "$build" && pwd) && export TARSIN_RF_BUILD_DIR
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python=/usr/bin/python3

"$python" -m build --no-isolation --wheel --outdir "$work/dist" .
"$python" -m venv "$work/plain"
"$work/plain/bin/pip" install --no-index "$work"/dist/tarsinrf-*.whl
"$python" -m venv --system-site-packages "$work/system"
"$work/system/bin/pip" install --no-index --no-build-isolation "$source"

# Outside the source tree, with readers of its own: the module comes from the venv.
export XDG_DATA_HOME=$work/data TARSIN_RF_REGISTRY_DIR=$work/registry \
  TARSIN_RF_VIRTUAL_READERS=$work/readers.json
cd "$work"
for venv in plain system; do
  env -u DISPLAY -u WAYLAND_DISPLAY "$work/$venv/bin/python" - "$work/$venv" <<'PYTHON'
import sys
import tarsinrf
assert tarsinrf.__file__.startswith(sys.argv[1]), tarsinrf.__file__
tarsinrf.use_virtual_reader()
with tarsinrf.Encoder("device=Tarsin Virtual Reader 0;protocol=2;open_mode=2") as e:
    assert e.ReadSerialNumber() == (tarsinrf.scesuccess, "B47C2E91"), e.LastError.Description
    assert "Tarsin Virtual Reader 0" in [reader.name for reader in tarsinrf.readers()]
    # Without a display the dialog is not shown, but its library is loaded: the venv's own.
    e.Configure("")
dialogs = sys.argv[1] + "/lib/python3"
assert any(dialogs in line and "libtarsinrf-dialogs.so" in line for line in open("/proc/self/maps"))
print(tarsinrf.__file__, tarsinrf.__version__)
PYTHON
done
"$work/plain/bin/python" "$source/examples/python/desfire_personalise.py"
