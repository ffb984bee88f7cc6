#!/usr/bin/env bash
# The C example built against an installed tree twice — with find_package(Tiv02000) and with
# pkg-config tivcall — and run: each sells a receipt on its own virtual printer.
# Usage: build_host_against.sh PREFIX EXAMPLE_DIR WORK_DIR
set -euo pipefail
prefix=$1
example=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)

cmake -S "$here/installed_host" -B "$work/host" -DCMAKE_PREFIX_PATH="$prefix" \
  -DEXAMPLE_SOURCE="$example/sell_receipt.c" >/dev/null
cmake --build "$work/host" >/dev/null
TIV_PROGRAM_DIR="$work" "$work/host/sell_receipt" "$work/printer-cmake" | tail -1 | grep -qx "receipt closed"

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
cc "$example/sell_receipt.c" $(pkg-config --cflags --libs tivcall) -o "$work/sell_receipt_pc"
TIV_PROGRAM_DIR="$work" "$work/sell_receipt_pc" "$work/printer-pc" | tail -1 | grep -qx "receipt closed"
