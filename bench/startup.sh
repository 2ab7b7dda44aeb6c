#!/usr/bin/env bash
# usage: bench/startup.sh [path to vorn] [runs]
# Time from starting the program to its main window "Vorn - Vorn1" being shown, black-box under a
# private Xvfb; prints every run and the minimum and median. Target: at most 400 ms.
set -u
here=$(cd "$(dirname "$0")" && pwd)
vorn=${1:-$here/../build/default/app/vorn}
runs=${2:-10}
[ -x "$vorn" ] || { echo "startup.sh: no executable at $vorn" >&2; exit 1; }

. "$here/xvfb_session.sh" "$vorn" "$runs"
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

times=()
for run in $(seq 1 "$runs"); do
    start=$(date +%s%N)
    "$vorn" >/dev/null 2>&1 &
    pid=$!
    shown=""
    # Poll without pauses; one xdotool call takes a few milliseconds.
    for _ in $(seq 1 4000); do
        if xdotool search --onlyvisible --name '^Vorn - Vorn1$' >/dev/null 2>&1; then
            shown=$(date +%s%N)
            break
        fi
    done
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; pid=""
    [ -n "$shown" ] || { echo "run $run: the window never appeared" >&2; exit 1; }
    ms=$(( (shown - start) / 1000000 ))
    times+=("$ms")
    echo "run $run: ${ms} ms"
done

sorted=($(printf '%s\n' "${times[@]}" | sort -n))
n=${#sorted[@]}
if (( n % 2 )); then
    median=${sorted[$((n / 2))]}
else
    median=$(( (sorted[n / 2 - 1] + sorted[n / 2]) / 2 ))
fi
echo "startup to main window: min ${sorted[0]} ms, median ${median} ms over $n runs (target <= 400 ms)"
