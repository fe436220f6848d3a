#!/usr/bin/env bash
# Runs the tests of the core and the command line (no Qt) under the address
# and undefined-behaviour sanitizers, then under the thread sanitizer: the
# asan and tsan presets, without the windows, to keep CI within its time.
# The window tests run under the sanitizers by hand (cmake --preset asan).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for preset in asan tsan; do
  cmake --preset "$preset" -DTARVEL_CORE_ONLY=ON >/dev/null
  cmake --build --preset "$preset"
  # A run that finds no tests is a failure, not a pass.
  ctest --preset "$preset" -j2 --output-on-failure --no-tests=error
done
