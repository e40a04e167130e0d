#!/bin/sh
# deb_contents_test.sh DEBS: checks what each Debian package in DEBS holds and asks for: the pcscd
# driver and its configuration in tarsin-rf-virtual-reader only, the library's files where
# Debian 12 looks for them, and no package requiring the dialogs or the virtual reader.
set -eu
debs=$1
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}
contents() {
  dpkg-deb -c "$debs/$1"_*.deb | awk '{print $6}' | sed 's#^\./#/#'
}
lib=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
python_suffix=$(/usr/bin/python3 -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')

# Each package and files it must hold.
while read -r package files; do
  list=$(contents "$package")
  for file in $files; do
    echo "$list" | grep -qx "$file" || fail "$package lacks $file"
  done
done <<TABLE
libtarsinrf1 $lib/libtarsinrf.so.1 $lib/libtarsinrf-vpcsc.so /usr/share/doc/libtarsinrf1/copyright
libtarsinrf-dev $lib/libtarsinrf.so /usr/include/tarsin/tarsin.h /usr/include/tarsin/encoder.h $lib/pkgconfig/tarsinrf.pc $lib/cmake/TarsinRF/TarsinRFConfig.cmake
tarsin-rf /usr/bin/tarsin-rf /usr/share/man/man1/tarsin-rf.1.gz
python3-tarsinrf /usr/lib/python3/dist-packages/tarsinrf$python_suffix
tarsin-rf-dialogs $lib/libtarsinrf-dialogs.so
tarsin-rf-virtual-reader /usr/lib/pcsc/drivers/serial/libifd-tarsin-virtual.so /etc/reader.conf.d/tarsin-virtual
TABLE

for deb in "$debs"/*.deb; do
  package=$(dpkg-deb -f "$deb" Package)
  if [ "$package" != tarsin-rf-virtual-reader ] &&
    contents "$package" | grep -E 'pcsc/drivers|reader\.conf|pcscd\.service'; then
    fail "$package holds a piece of the pcscd driver"
  fi
  if contents "$package" | grep -E 'tests?_|bench|stub-pcsc|\.a$'; then
    fail "$package holds test, benchmark or internal files"
  fi
  for field in Depends Pre-Depends Recommends; do
    if dpkg-deb -f "$deb" "$field" | grep -q tarsin-rf-virtual-reader; then
      fail "$package's $field pulls in the virtual reader"
    fi
  done
  if dpkg-deb -f "$deb" Depends | grep -q tarsin-rf-dialogs; then
    fail "$package requires the dialogs"
  fi
done
[ "$failed" -eq 0 ] && echo "ok: package contents"
