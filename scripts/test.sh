#!/usr/bin/env bash
# Builds everything (debug) and runs every test, windows offscreen, then each
# fuzz harness for 15 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh python3 strace  # strace slows the kill -9 trials
cmake --preset debug >/dev/null
cmake --build --preset debug
ctest --preset debug -j "$(nproc)"
scripts/fuzz.sh 15
