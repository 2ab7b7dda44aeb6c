#!/usr/bin/env bash
# The CPU share of one window streaming against that of plain players playing the same 1 kHz
# stream (from vorn-render wav) on the same private sound server in the same run, each taken from
# /proc/PID/stat (user + system time) over the same interval, in rounds.
# usage: bench/audio_cpu.sh BUILD_DIR [seconds] [rounds]   (inside with-sound-server.sh)
set -u
build=$1
seconds=${2:-15}
rounds=${3:-2}
[ -n "${VORN_SOUND_CTL:-}" ] || { echo "audio_cpu.sh: run me through with-sound-server.sh" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tools/vorn-render" wav --output "$work/tone.wav" --seconds $((seconds + 5)) \
    >/dev/null 2>&1 || exit 1
hz=$(getconf CLK_TCK)

# The share of one core a player takes over $seconds, after one second of start-up.
player() {
    "$@" >/dev/null 2>&1 &
    local pid=$! before after
    sleep 1
    before=$(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null)
    sleep "$seconds"
    after=$(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null)
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    if [ -z "$before" ] || [ -z "$after" ]; then
        echo "-"
        return
    fi
    awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * t / hz / s }'
}

status=0
for round in $(seq "$rounds"); do
    vorn=$("$build/bench/bench_audio_stream" cpu "$seconds" 2>/dev/null \
        | sed -n 's/^cpu: one window.* = \([0-9.]*\) % of one core$/\1/p')
    if [ -z "$vorn" ]; then
        echo "cpu: round $round: the stream did not run"
        status=1
        continue
    fi
    aplay90=$(player aplay -q --buffer-time=90000 "$work/tone.wav")
    aplayDefault=$(player aplay -q "$work/tone.wav")
    paplay90=$(player paplay --latency-msec=90 "$work/tone.wav")
    ratio=$(awk -v a="$vorn" -v b="$aplay90" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
    echo "cpu: $VORN_SOUND_SERVER round $round ($seconds s each): Vorn streaming $vorn %," \
        "aplay --buffer-time=90000 $aplay90 %, aplay (its default buffer) $aplayDefault %," \
        "paplay --latency-msec=90 $paplay90 % of one core; Vorn / aplay 90 ms = $ratio"
done
exit $status
