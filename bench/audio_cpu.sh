#!/usr/bin/env bash
# The CPU share of one window streaming against that of plain players playing the same 1 kHz
# stream (from vorn-render wav) on the same private sound server at the same time, each taken
# from /proc/PID/stat (user + system time) over the same interval, in rounds.
#
# Everything in a round runs side by side: on a shared (virtual) machine a moment in which the
# host holds back the processor is charged to whichever threads are running, and it then hits
# the window and the players alike, not one round of one of them. The figure is the median of
# the rounds.
# usage: bench/audio_cpu.sh BUILD_DIR [seconds] [rounds]   (inside with-sound-server.sh)
set -u
build=$1
seconds=${2:-15}
rounds=${3:-5}
[ -n "${VORN_SOUND_CTL:-}" ] || { echo "audio_cpu.sh: run me through with-sound-server.sh" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tools/vorn-render" wav --output "$work/tone.wav" --seconds $((seconds + 5)) \
    >/dev/null 2>&1 || exit 1
hz=$(getconf CLK_TCK)

ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null; }

# Starts a player in the background and prints its pid.
start_player() {
    "$@" >/dev/null 2>&1 &
    echo $!
}

share() {
    if [ -z "$1" ] || [ -z "$2" ]; then
        echo "-"
        return
    fi
    awk -v t=$(($2 - $1)) -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * t / hz / s }'
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

status=0
: >"$work/vorn" && : >"$work/aplay90" && : >"$work/ratio"
for round in $(seq "$rounds"); do
    "$build/bench/bench_audio_stream" cpu "$seconds" >"$work/out" 2>/dev/null &
    vornPid=$!
    aplay90=$(start_player aplay -q --buffer-time=90000 "$work/tone.wav")
    aplayDefault=$(start_player aplay -q "$work/tone.wav")
    paplay90=$(start_player paplay --latency-msec=90 "$work/tone.wav")
    sleep 0.3 # the window counts from its fourth block on, about this moment
    a0=$(ticks "$aplay90") && d0=$(ticks "$aplayDefault") && p0=$(ticks "$paplay90")
    sleep "$seconds"
    a1=$(ticks "$aplay90") && d1=$(ticks "$aplayDefault") && p1=$(ticks "$paplay90")
    kill "$aplay90" "$aplayDefault" "$paplay90" 2>/dev/null
    wait "$vornPid" "$aplay90" "$aplayDefault" "$paplay90" 2>/dev/null
    vorn=$(sed -n 's/^cpu: one window.* = \([0-9.]*\) % of one core$/\1/p' "$work/out")
    if [ -z "$vorn" ]; then
        echo "cpu: round $round: the stream did not run"
        status=1
        continue
    fi
    a=$(share "$a0" "$a1")
    ratio=$(awk -v a="$vorn" -v b="$a" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
    echo "$vorn" >>"$work/vorn" && echo "$a" >>"$work/aplay90" && echo "$ratio" >>"$work/ratio"
    echo "cpu: $VORN_SOUND_SERVER round $round ($seconds s, side by side): Vorn streaming $vorn %," \
        "aplay --buffer-time=90000 $a %, aplay (its default buffer) $(share "$d0" "$d1") %," \
        "paplay --latency-msec=90 $(share "$p0" "$p1") % of one core; Vorn / aplay 90 ms = $ratio"
done
echo "cpu: $VORN_SOUND_SERVER median of $rounds rounds: Vorn $(median <"$work/vorn") %," \
    "aplay --buffer-time=90000 $(median <"$work/aplay90") %; Vorn / aplay 90 ms = $(median <"$work/ratio")"
exit $status
