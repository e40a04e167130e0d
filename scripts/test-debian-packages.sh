#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian packages from this tree without their tests (dpkg-buildpackage, nocheck),
# runs lintian on them (no error allowed), checks what each holds, then installs them into a
# throwaway Debian 12 root made by mmdebstrap, hosts them there and purges them
# (tests/install/debian_root_test.sh). Run as root: mmdebstrap chroots. Nothing is kept.
# Usage: scripts/test-debian-packages.sh [--debs FOLDER]
#   --debs FOLDER   test the packages already built in FOLDER instead of building them
set -euo pipefail
usage() { sed -n '3,/^[^#]/{/^#/s/^# \{0,1\}//p}' "$0"; }
case "${1:-}" in
  -h | --help) usage; exit 0 ;;
  "") ;;
  --debs) [ $# -eq 2 ] || { usage >&2; exit 2; } ;;
  *) usage >&2; exit 2 ;;
esac
source=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tarsin-rf-debs.XXXXXX")
trap 'rm -rf "$work"' EXIT
debs=$work

if [ "${1:-}" = --debs ]; then
  debs=$(cd "$2" && pwd)
else
  # A copy of the tree: dpkg-buildpackage writes its packages beside the source folder.
  mkdir "$work/tarsin-rf"
  (cd "$source" && git ls-files -co --exclude-standard -z | tar -cf - --exclude=debian/tmp --null -T -) |
    tar -xf - -C "$work/tarsin-rf"
  echo "building the packages"
  (cd "$work/tarsin-rf" && DEB_BUILD_OPTIONS="nocheck noautodbgsym parallel=$(nproc)" dpkg-buildpackage -b -us -uc \
    -Pnocheck >"$work/build.log" 2>&1) || {
    tail -n 60 "$work/build.log" >&2
    echo "FAIL: dpkg-buildpackage" >&2
    exit 1
  }
fi

# Errors fail; each warning left is explained by an override or debian/README.source.
lintian --fail-on error "$debs"/*.deb | tee "$work/lintian.log"
echo "lintian: $(grep -c '^E:' "$work/lintian.log" || true) errors, $(grep -c '^W:' "$work/lintian.log" || true) warnings"
sh "$source/tests/install/deb_contents_test.sh" "$debs"

# The root gets what the test itself needs (a C compiler, pkg-config, python3); the packages and
# what they pull in are installed by the test, which then purges them.
mkdir -p "$work/into-root/examples"
cp "$debs"/*.deb "$source/tests/install/debian_root_test.sh" "$work/into-root/"
cp -r "$source/examples/c" "$source/examples/python" "$work/into-root/examples/"
# The root is thrown away: dpkg need not sync its files. "$1" in a hook is the root, given by
# mmdebstrap to the hook's shell.
# shellcheck disable=SC2016
mmdebstrap --variant=apt --include=gcc,libc6-dev,pkg-config,python3 --dpkgopt=force-unsafe-io \
  --customize-hook='printf "#!/bin/sh\nexit 101\n" >"$1/usr/sbin/policy-rc.d" && chmod 755 "$1/usr/sbin/policy-rc.d"' \
  --customize-hook='mkdir "$1/tmp/tarsin"' --customize-hook="sync-in $work/into-root /tmp/tarsin" \
  --customize-hook='chroot "$1" sh /tmp/tarsin/debian_root_test.sh /tmp/tarsin /tmp/tarsin/examples' \
  bookworm /dev/null
