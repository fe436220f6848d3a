#!/usr/bin/env bash
# Builds everything as a user without presets would: cmake's default
# generator, no preset, manual pages included, in build/plain.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/plain -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/plain -j "$(nproc)"
test -s build/plain/man/tarvel-cli.1.gz && test -s build/plain/man/Tarvel.1.gz
echo "plain build: everything built, manual pages included"
