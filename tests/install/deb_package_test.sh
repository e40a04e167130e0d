#!/bin/sh
# deb_package_test.sh BUILD PYTHON: makes the Debian package of BUILD with cpack in a temporary folder
# and checks what it holds: the main files where Debian 12 looks for them, its dependencies, and
# the files written for the prefix /usr rather than for cpack's staging folder.
set -eu
build=$1
python=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/tarsin-rf-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB"
}
package=$(find "$work" -maxdepth 1 -name '*.deb' -print -quit)
[ -n "$package" ] || fail "no package made"
dpkg-deb -c "$package" | awk '{$1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print}' >"$work/contents"

# The library folder is /usr/lib or Debian's multiarch one, after the configuration.
lib=$(sed -n 's#^\./\(usr/lib.*\)/libtarsinrf\.so\.[0-9]*\.[0-9]*\.[0-9]*$#\1#p' "$work/contents")
[ -n "$lib" ] || fail "no libtarsinrf.so.X.Y.Z under /usr/lib"
python_module=$("$python" -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')
for file in "$lib/libtarsinrf.so.1 -> libtarsinrf.so.1.0.0" "$lib/libtarsinrf.so -> libtarsinrf.so.1" \
    "$lib/libtarsinrf-vpcsc.so" usr/include/tarsin/tarsin.h usr/include/tarsin/encoder.h \
    usr/include/tarsin/types.h usr/include/tarsin/variant.h usr/include/tarsin/export.h \
    "$lib/pkgconfig/tarsinrf.pc" "$lib/cmake/TarsinRF/TarsinRFConfig.cmake" \
    "$lib/cmake/TarsinRF/TarsinRFConfigVersion.cmake" usr/bin/tarsin-rf \
    usr/share/man/man1/tarsin-rf.1 "usr/lib/python3/dist-packages/tarsinrf$python_module" \
    usr/lib/pcsc/drivers/serial/libifd-tarsin-virtual.so etc/reader.conf.d/tarsin-virtual \
    usr/lib/systemd/system/pcscd.service.d/tarsin-virtual.conf; do
  # dpkg-deb lists ./path, and a link as "./path -> target".
  grep -qx "\./$file" "$work/contents" || fail "not in the package: /$file"
done
# The dialogs are built only where Qt 6 is installed.
if [ -e "$build/src/libtarsinrf-dialogs.so" ]; then
  grep -qx "\./$lib/libtarsinrf-dialogs.so" "$work/contents" || fail "the dialogs are not packaged"
fi
if grep -E 'tests?_|bench|\.a$|stub-pcsc' "$work/contents"; then
  fail "the package holds test, benchmark or internal files"
fi

depends=$(dpkg-deb -f "$package" Depends)
for dependency in libpcsclite1 libsqlite3-0 libfmt9 python3; do
  echo "$depends" | grep -q "$dependency" || fail "Depends lacks $dependency: $depends"
done
conffiles=$(dpkg-deb --ctrl-tarfile "$package" | tar -xOf - ./conffiles)
[ "$conffiles" = /etc/reader.conf.d/tarsin-virtual ] || fail "conffiles: $conffiles"

dpkg-deb -x "$package" "$work/root"
grep -qx 'LIBPATH *\/usr/lib/pcsc/drivers/serial/libifd-tarsin-virtual.so' \
  "$work/root/etc/reader.conf.d/tarsin-virtual" || fail "reader.conf: $(cat "$work/root/etc/reader.conf.d/tarsin-virtual")"
grep -qx 'prefix=/usr' "$work/root/$lib/pkgconfig/tarsinrf.pc" ||
  fail "tarsinrf.pc: $(cat "$work/root/$lib/pkgconfig/tarsinrf.pc")"
echo "ok: $(basename "$package"), Depends: $depends"
