#!/usr/bin/env bash
# Wall time of `vorn-render wav --seconds 600` (ten minutes of audio), min and median of 5 runs.
set -euo pipefail
render=${1:-./build/default/tools/vorn-render}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
times=()
for _ in 1 2 3 4 5; do
    start=$(date +%s.%N)
    "$render" wav --output "$out/ten-minutes.wav" --seconds 600 2>/dev/null
    end=$(date +%s.%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
done
printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { printf "vorn-render wav --seconds 600: min %.3f s, median %.3f s (%d runs)\n", t[1], t[int((NR + 1) / 2)], NR }'
