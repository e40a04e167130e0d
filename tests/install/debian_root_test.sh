#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# debian_root_test.sh DEBS EXAMPLES: as root in a throwaway Debian 12 root that starts no service,
# installs the packages in DEBS (none asks for the virtual reader: deb_contents_test.sh), hosts the
# component from C and Python, lists the readers through pcscd, purges them and checks that the
# root holds the files it held before (what they pull in is installed first: not ours to check).
set -eu
debs=$1 examples=$2
export DEBIAN_FRONTEND=noninteractive
# Whatever the examples write (log, registry, virtual cards) stays in the scratch folder.
export HOME=/tmp/home XDG_DATA_HOME=/tmp/home/data TARSIN_RF_REGISTRY_DIR=/tmp/home/registry
mkdir -p "$XDG_DATA_HOME"
uid=B47C2E91

fail() { echo "FAIL: $*" >&2; exit 1; }
# Every file of the root but the scratch folder, the kernel's and package managers' own state.
files() {
  find / -xdev \( -path /tmp -o -path /proc -o -path /sys -o -path /dev -o -path /run \
    -o -path /var/lib/dpkg -o -path /var/lib/apt -o -path /var/cache -o -path /var/log \) -prune \
    -o -print | sort
}

ours="$debs/libtarsinrf1_*.deb $debs/libtarsinrf-dev_*.deb $debs/tarsin-rf_*.deb
  $debs/python3-tarsinrf_*.deb $debs/tarsin-rf-dialogs_*.deb"
# shellcheck disable=SC2086 # the list is meant to split
pulled_in=$(apt-get install -s $ours "$debs"/tarsin-rf-virtual-reader_*.deb |
  awk '/^Inst / {print $2}' | grep -v tarsin)
# shellcheck disable=SC2086
apt-get install -y $pulled_in >/tmp/install.log 2>&1 || fail "apt-get install $pulled_in"
files >/tmp/before
# shellcheck disable=SC2086
apt-get install -y $ours >>/tmp/install.log 2>&1 || { cat /tmp/install.log >&2; fail "apt-get"; }

# shellcheck disable=SC2046 # pkg-config's flags are meant to split
cc -std=c99 -Wall -Wextra -Werror -o /tmp/read_uid "$examples/c/read_uid.c" \
  $(pkg-config --cflags --libs tarsinrf) || fail "the C example does not build"
out=$(TARSIN_RF_PCSC_LIBRARY=libtarsinrf-vpcsc.so /tmp/read_uid) || fail "C example: $out"
[ "$out" = "$uid" ] || fail "C example printed: $out"
echo "ok: C example"
/usr/bin/python3 "$examples/python/desfire_personalise.py" >/tmp/python.out 2>&1 ||
  fail "Python example: $(cat /tmp/python.out)"
echo "ok: Python example"

apt-get install -y "$debs"/tarsin-rf-virtual-reader_*.deb >>/tmp/install.log 2>&1 ||
  fail "apt-get install tarsin-rf-virtual-reader"
# The readers through a pcscd of this root, in its pcscd.service drop-in's environment, stopped by
# its id. Only this package gives pcscd a reader (deb_contents_test.sh).
TARSIN_RF_VIRTUAL_READERS=/var/lib/tarsin-rf/virtual-readers.json pcscd --foreground \
  >/tmp/pcscd.log 2>&1 &
pcscd=$!
sleep 2
out=$(tarsin-rf readers 2>&1) || true
kill "$pcscd"
wait "$pcscd" || true
case "$out" in *"Tarsin Virtual Reader 0"*) ;; *) fail "pcscd serves no virtual reader: $out" ;; esac
echo "ok: tarsin-rf readers with the virtual reader"

apt-get purge -y libtarsinrf1 libtarsinrf-dev tarsin-rf python3-tarsinrf tarsin-rf-dialogs \
  tarsin-rf-virtual-reader >>/tmp/install.log 2>&1 || fail "apt-get purge"
files >/tmp/after
diff /tmp/before /tmp/after || fail "the purge leaves the root changed"
echo "ok: purged, nothing left"
