#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite.
# Usage: scripts/test.sh [--sanitize]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --tests
if [ "${1:-}" = "--sanitize" ]; then
  bash scripts/build.sh build-asan -DTIV_SANITIZE=ON -DTIV_TESTS=ON -DTIV_BENCH=OFF
  cd build-asan
else
  # Everything, also after the first command built the demo's part alone in this folder.
  bash scripts/build.sh build -DTIV_TESTS=ON -DTIV_BENCH=ON
  cd build
fi
ctest --output-on-failure -j"$(nproc)"
