#!/bin/sh
# SPDX-License-Identifier: Apache-2.0
# deb_contents_test.sh DEBS: checks what each Debian package in DEBS holds and asks for: the pcscd
# driver and its configuration in tarsin-rf-virtual-reader only, no test or internal files, and no
# package requiring the dialogs or the virtual reader. Each other file's package is named by
# debian/*.install (dh_install stops on a file missing); debian_root_test.sh hosts them.
set -eu
debs=$1 failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }
contents() { dpkg-deb -c "$debs/$1"_*.deb | awk '{print $6}' | sed 's#^\./#/#'; }
# The package's name follows the library's soname (lintian only warns).
contents libtarsinrf1 | grep -qx "/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/libtarsinrf.so.1" ||
  fail "libtarsinrf1 holds no libtarsinrf.so.1"
for deb in "$debs"/*.deb; do
  package=$(dpkg-deb -f "$deb" Package)
  ! { [ "$package" != tarsin-rf-virtual-reader ] &&
    contents "$package" | grep -E 'pcsc/drivers|reader\.conf|pcscd\.service'; } ||
    fail "$package holds a piece of the pcscd driver"
  ! contents "$package" | grep -E 'tests?_|bench|stub-pcsc|\.a$' ||
    fail "$package holds test, benchmark or internal files"
  for field in Depends Pre-Depends Recommends; do
    ! dpkg-deb -f "$deb" "$field" | grep -q tarsin-rf-virtual-reader ||
      fail "$package's $field pulls in the virtual reader"
  done
  ! dpkg-deb -f "$deb" Depends | grep -q tarsin-rf-dialogs || fail "$package requires the dialogs"
done
[ "$failed" -eq 0 ] && echo "ok: package contents"
