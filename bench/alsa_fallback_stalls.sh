#!/usr/bin/env bash
# How long the ordinary threads may be held up before the ALSA fallback leaves a gap: the sound
# test that plays through ALSA's default device (PulseAudio's ALSA plugin) and compares the
# server's recording bit for bit with what was queued, run while two real-time busy loops, one
# per processor, take the machine from every ordinary thread (the server's, the plugin's, the
# UI's) for a burst of B ms every 150 ms, as a busy or shared machine does now and then. The
# device's own thread runs at a higher real-time priority and is not held up. Prints, per burst,
# how many runs failed.
#
#   bash bench/alsa_fallback_stalls.sh [--runs N] [--bursts "0 15 25 30 40"]
#
# Needs root (or CAP_SYS_NICE) for the real-time loops, python3, taskset and chrt, and a build
# of tests/audio/tst_wavecapture (VORN_BUILD, default build/default). About 6 s per run.
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=${VORN_BUILD:-$here/../build/default}
test=$build/tests/audio/tst_wavecapture
runs=6
bursts="0 15 25 30 40"
while [ $# -gt 0 ]; do
    case "$1" in
    --runs) runs=$2; shift 2 ;;
    --bursts) bursts=$2; shift 2 ;;
    *) echo "alsa_fallback_stalls.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
[ -x "$test" ] || { echo "alsa_fallback_stalls.sh: build $test first" >&2; exit 2; }
chrt -f 1 true 2>/dev/null || { echo "alsa_fallback_stalls.sh: needs real-time scheduling (root)" >&2; exit 2; }

work=$(mktemp -d)
hogs=()
stop_hogs() {
    [ ${#hogs[@]} -gt 0 ] && kill "${hogs[@]}" 2>/dev/null && wait "${hogs[@]}" 2>/dev/null
    hogs=()
}
trap 'stop_hogs; rm -rf "$work"' EXIT
cat >"$work/hog.py" <<'PY'
import sys, time
burst, idle = float(sys.argv[1]) / 1000, 0.150
while True:
    start = time.monotonic()
    while time.monotonic() - start < burst:
        pass
    time.sleep(idle)
PY

echo "burst (ms every 150 ms)  failed runs  first failure"
for burst in $bursts; do
    failed=0 first=""
    for run in $(seq "$runs"); do
        if [ "$burst" != 0 ]; then
            for cpu in $(seq 0 $(($(nproc) - 1))); do
                taskset -c "$cpu" chrt -f 1 python3 "$work/hog.py" "$burst" &
                hogs+=($!)
            done
        fi
        if ! timeout 120 "$test" soundCardFallbackPlaysAndNoticesLoss >"$work/run.log" 2>&1; then
            failed=$((failed + 1))
            [ -n "$first" ] || first=$(grep -m1 -o "session.*" "$work/run.log" | cut -c1-90)
        fi
        stop_hogs
    done
    printf '%-24s %5d of %-4d %s\n' "$burst" "$failed" "$runs" "$first"
done
