#!/usr/bin/env bash
# Median start-up time to the first shown window over 10 runs, under Xvfb,
# for the program's windows and for a bare Qt window built the same way.
# usage: bench/startup.sh build/release/bench/startup_benchmark
set -euo pipefail
binary=$1
workspace=$(mktemp -d)
trap 'rm -rf "$workspace"; kill $xvfb 2>/dev/null' EXIT
Xvfb :97 -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
for mode in tarvel bare; do
  times=()
  for run in $(seq 10); do
    times+=("$(DISPLAY=:97 "$binary" "$mode" "$(date +%s%N)" "$workspace" 2>/dev/null)")
  done
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print (a[5]+a[6])/2}')
  echo "$mode: median ${median} ms (runs: ${times[*]})"
done
