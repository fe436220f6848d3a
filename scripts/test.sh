#!/usr/bin/env bash
# Builds everything (debug) and runs every test, windows offscreen.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset debug >/dev/null
cmake --build --preset debug
ctest --preset debug -j "$(nproc)"
