#!/usr/bin/env bash
# Installs every build and test dependency from Debian packages.
# Idempotent: silent and quick when everything is already there.
# Usage: scripts/setup.sh [--tests]; --tests also installs the compilers of the
# Free Pascal and Java examples, which only the suite builds.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev libssl-dev libpugixml-dev nlohmann-json3-dev libcli11-dev
  openssl
  libcpp-httplib-dev
  clang-format python3
  dpkg-dev file  # the Debian package: cpack finds the binaries with file, their dependencies with dpkg-shlibdeps
)

if [ "${1:-}" = "--tests" ]; then
  packages+=(fpc default-jdk-headless)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
