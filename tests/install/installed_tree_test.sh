#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# installed_tree_test.sh BUILD SOURCE [PYTHON]: installs BUILD into a temporary prefix and hosts the
# installed component as an integrator would, on the virtual reader: the C++ example through
# find_package(TarsinRF), the C example through pkg-config, tarsin-rf and the Python module.
# Each must read the default card's UID with the installed files only, the provider included.
set -eu
build=$1 source=$2 python=${3:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/tarsin-rf-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
uid=B47C2E91

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs CMD with LD_DEBUG and checks that it prints the UID and that the virtual reader's provider
# it loaded is the installed one, not the one in the build tree.
reads_uid_from_installed_tree() {
  what=$1; shift
  LD_DEBUG=files "$@" >"$work/out" 2>"$work/loads" || fail "$what: exit status $?: $(cat "$work/out")"
  grep -q "$uid" "$work/out" || fail "$what printed no UID $uid: $(cat "$work/out")"
  loaded=$(grep -o 'opening file=[^ ]*libtarsinrf-vpcsc\.so' "$work/loads" | head -n 1)
  case "$loaded" in "opening file=$prefix/"*) ;; *) fail "$what loaded the provider '$loaded'" ;; esac
  echo "ok: $what"
}

cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
  { cat "$work/install.log" >&2; fail "cmake --install"; }
libdir=$(dirname "$(find "$prefix" -name libtarsinrf.so -print -quit)")
# The packages' lists of files are checked by deb_contents_test.sh.
provider=$libdir/libtarsinrf-vpcsc.so

# The reader.conf entry names the driver where it was installed.
driver=$(sed -n 's/^LIBPATH *//p' "$prefix/etc/reader.conf.d/tarsin-virtual")
case "$driver" in "$prefix"/*) ;; *) fail "reader.conf names $driver" ;; esac
[ -f "$driver" ] || fail "the driver named by reader.conf is missing: $driver"

# The hosts share one scratch home with the default readers file.
export XDG_DATA_HOME="$work/home" TARSIN_RF_VIRTUAL_READERS="$work/home/readers.json"
export TARSIN_RF_REGISTRY_DIR="$work/home/registry"
mkdir -p "$work/home"

cmake -S "$source/examples/cpp" -B "$work/cpp" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  >"$work/cpp.log" 2>&1 && cmake --build "$work/cpp" >>"$work/cpp.log" 2>&1 ||
  { cat "$work/cpp.log" >&2; fail "the C++ example does not build against the installed tree"; }
reads_uid_from_installed_tree "C++ example (find_package)" \
  env TARSIN_RF_PCSC_LIBRARY="$provider" "$work/cpp/read_uid"

export PKG_CONFIG_PATH="$libdir/pkgconfig"
# shellcheck disable=SC2046 # pkg-config's flags are meant to split
cc -std=c99 -Wall -Wextra -Werror -o "$work/read_uid_c" "$source/examples/c/read_uid.c" \
  $(pkg-config --cflags --libs tarsinrf) || fail "the C example does not build through pkg-config"
reads_uid_from_installed_tree "C example (pkg-config)" env TARSIN_RF_PCSC_LIBRARY="$provider" \
  LD_LIBRARY_PATH="$(pkg-config --variable=libdir tarsinrf)" "$work/read_uid_c"

reads_uid_from_installed_tree "tarsin-rf call --virtual" "$prefix/bin/tarsin-rf" call --virtual \
  --params "device=Tarsin Virtual Reader 0;protocol=2" --open ReadSerialNumber '""'

module=$(find "$prefix" -name 'tarsinrf.cpython-*.so' -print -quit)
if [ -n "$python" ]; then
  [ -n "$module" ] || fail "the Python module is not installed"
  reads_uid_from_installed_tree "Python module" env PYTHONPATH="$(dirname "$module")" "$python" -c '
import tarsinrf
tarsinrf.use_virtual_reader()
e = tarsinrf.Encoder()
e.Parameters = "device=Tarsin Virtual Reader 0;protocol=2"
e.OpenEncoder(0)
print(e.ReadSerialNumber()[1])'
fi
