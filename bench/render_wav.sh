#!/usr/bin/env bash
# Wall times of vorn-render, min and median of 5 runs each: `wav --seconds 600` (ten minutes of
# audio), a 60-second sweep WAV, and `response` over 10000 frequencies as a table and as a picture.
set -euo pipefail
render=${1:-./build/default/tools/vorn-render}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# measure <label> <command...>: runs the command 5 times, output discarded.
measure() {
    local label=$1
    shift
    local times=()
    for _ in 1 2 3 4 5; do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s.%N)
        times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
    done
    printf '%s\n' "${times[@]}" | sort -n | awk -v label="$label" '{ t[NR] = $1 } END { printf "%s: min %.3f s, median %.3f s (%d runs)\n", label, t[1], t[int((NR + 1) / 2)], NR }'
}

measure "vorn-render wav --seconds 600" "$render" wav --output "$out/ten-minutes.wav" --seconds 600
measure "vorn-render wav --input sweep --seconds 60" \
    "$render" wav --output "$out/sweep.wav" --input sweep --seconds 60
measure "vorn-render response --points 10000" "$render" response --points 10000
measure "vorn-render response --points 10000 --format csv" \
    "$render" response --points 10000 --format csv
measure "vorn-render response --points 10000 --plot PNG --labels" \
    "$render" response --points 10000 --plot "$out/response.png" --labels
