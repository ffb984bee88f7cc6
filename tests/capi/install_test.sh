#!/usr/bin/env bash
# cmake --install into a scratch prefix, then the C example built against the installed tree
# twice — with find_package(Tiv02000) and with pkg-config — and run: each sells a receipt.
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -x "$work/prefix/bin/tiv"
"$work/prefix/bin/tiv" --help >/dev/null

cmake -S "$source/tests/capi/installed_host" -B "$work/host" -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DEXAMPLE_SOURCE="$source/examples/c/sell_receipt.c" >/dev/null
cmake --build "$work/host" >/dev/null
TIV_PROGRAM_DIR="$work" "$work/host/sell_receipt" "$work/printer-cmake" | tail -1 | grep -qx "receipt closed"

PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" cc "$source/examples/c/sell_receipt.c" \
  $(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags --libs tivcall) \
  -o "$work/sell_receipt_pc"
TIV_PROGRAM_DIR="$work" "$work/sell_receipt_pc" "$work/printer-pc" | tail -1 | grep -qx "receipt closed"
echo "installed tree: tiv, find_package(Tiv02000) and pkg-config tivcall all work"
