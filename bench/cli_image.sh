#!/usr/bin/env bash
# Times 200 "tarvel-cli image" calls as whole processes and prints the time
# per call. Usage: bench/cli_image.sh [path to tarvel-cli]
set -euo pipefail
cli="${1:-build/release/tarvel-cli}"
workspace="$(mktemp -d)"
trap 'rm -rf "$workspace"' EXIT
"$cli" --workspace "$workspace" new Bench
start=$(date +%s%N)
for _ in $(seq 200); do
  "$cli" --workspace "$workspace" image Bench >/dev/null
done
end=$(date +%s%N)
echo "200 image calls: $(( (end - start) / 1000000 )) ms, $(( (end - start) / 200000 )) us per call"
