#!/usr/bin/env bash
# Fails when a C++ source that git tracks is not formatted as .clang-format
# says; changes nothing (clang-format -i formats a file).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh clang-format
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "formatting: $(git ls-files '*.cpp' '*.h' | wc -l) files as .clang-format says"
