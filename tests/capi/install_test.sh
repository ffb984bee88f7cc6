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

bash "$(dirname "$0")/build_host_against.sh" "$work/prefix" "$source/examples/c" "$work"
echo "installed tree: tiv, find_package(Tiv02000) and pkg-config tivcall all work"
