#!/usr/bin/env bash
# Runs every test of the test command five times while two busy loops per
# core compete for the processors, as on a loaded CI machine: a test that
# races the clock shows here. Not part of CI; prints how many rounds passed.
#
# usage: scripts/stress-tests.sh [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-5}
cmake --preset debug >/dev/null
cmake --build --preset debug
busy=()
stop_busy() { kill "${busy[@]}" 2>/dev/null || true; }
trap stop_busy EXIT
for _ in $(seq $((2 * $(nproc)))); do
  (while :; do :; done) &
  busy+=($!)
done
passed=0
for round in $(seq "$rounds"); do
  if ctest --preset debug -j "$(nproc)" >"build/debug/stress-round-$round.log" 2>&1; then
    passed=$((passed + 1))
    echo "round $round: passed"
  else
    echo "round $round: failed; see build/debug/stress-round-$round.log"
    grep -A3 'tests failed\|FAILED' "build/debug/stress-round-$round.log" || true
  fi
done
echo "$passed of $rounds rounds passed"
[ "$passed" -eq "$rounds" ]
