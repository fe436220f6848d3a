#!/usr/bin/env bash
# Builds the program (release) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release -DTARVEL_BUILD_TESTS=OFF >/dev/null
cmake --build --preset release
exec build/release/Tarvel
