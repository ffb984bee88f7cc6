#!/usr/bin/env bash
# cpack makes the Debian package; unpacked into a scratch root (dpkg-deb -x, no root rights),
# its tiv runs the demo day and the C example it ships builds against it with find_package and
# with pkg-config, and sells a receipt.
# Usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "package: $*" >&2
  exit 1
}

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null
deb="$work/out/tiv02000_${version}_$(dpkg --print-architecture).deb"
test -f "$deb" || fail "no $(basename "$deb") in: $(ls "$work/out")"

[ "$(dpkg-deb -f "$deb" Package)" = tiv02000 ] || fail "Package is $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is $(dpkg-deb -f "$deb" Version)"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no Maintainer"
# The dependencies come from what the binaries link, whatever the soname of the day.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 'libstdc++6' libsqlite3 libssl libpugixml libcpp-httplib; do
  grep -q "\(^\|, \)$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
prefix="$root/usr"
for f in bin/tiv lib/tiv02000/libtiv02000.so lib/tiv02000/libInterfaceEpson.so \
  lib/tiv02000/libsign_bema.so lib/tiv02000/libtivcall.so include/tiv02000/tiv02000.h \
  include/tivcall/tivcall.h lib/cmake/Tiv02000/Tiv02000Config.cmake lib/pkgconfig/tivcall.pc \
  lib/pkgconfig/tiv02000.pc share/doc/tiv02000/README.md share/doc/tiv02000/docs/hosts.md \
  share/doc/tiv02000/examples/c/sell_receipt.c; do
  test -e "$prefix/$f" || fail "$f is missing"
done
# Installed elsewhere, nothing may still point into the build folder.
if grep -rlF "$(cd "$build" && pwd)" "$root"; then fail "files above name the build folder"; fi

# bin/tiv is a link into lib/tiv02000, where tiv finds the module and the printer.
"$prefix/bin/tiv" demo --state "$work/demo" >"$work/demo.out"
grep -q "^GT x Pravell : confere" "$work/demo.out" || fail "the demo day did not reconcile"

bash "$(dirname "$0")/build_host_against.sh" "$prefix" "$prefix/share/doc/tiv02000/examples/c" "$work"
echo "package: $(basename "$deb") installs; tiv, find_package(Tiv02000) and pkg-config tivcall work"
