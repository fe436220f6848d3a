#!/usr/bin/env bash
# Builds the fuzz harnesses (clang, address and undefined-behaviour checks)
# and runs each for the given number of seconds (60 unless told).
# Inputs it finds go to build/fuzz/corpus/<harness> and faults to
# build/fuzz/findings/<harness>/; the starting inputs kept in the repository
# (tests/fuzz/corpus) are never written.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
scripts/install-deps.sh clang libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for harness in fuzz_xml fuzz_settings fuzz_integer fuzz_image fuzz_updater_arguments fuzz_csv; do
  corpus="build/fuzz/corpus/$harness"
  findings="build/fuzz/findings/$harness/"
  mkdir -p "$corpus" "$findings"
  echo "== $harness: $seconds s"
  # Documents long enough to nest past the reader's limit.
  max_len=$([ "$harness" = fuzz_xml ] && echo 8192 || echo 4096)
  "build/fuzz/tests/fuzz/$harness" -max_total_time="$seconds" -max_len="$max_len" -artifact_prefix="$findings" \
    -print_final_stats=1 "$corpus" "tests/fuzz/corpus/$harness" 2>&1 | grep -E "^(stat::number_of_executed_units|FINDING|==[0-9]+==ERROR|SUMMARY)" || true
  if ls "$findings" | grep -q .; then
    echo "$harness found a fault: see $findings" >&2
    exit 1
  fi
done
