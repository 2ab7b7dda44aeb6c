#!/usr/bin/env bash
# The live stream's loop latency (source to sink), alone (the unit: bench_live_loop) and in
# vorn-listen --capture (listen: the program as people run it, its filter included, whose own
# delay is about half a millisecond), beside a plain `parec | pacat` pipe, on private PulseAudio
# and PipeWire servers, measured on one clock: a stereo null sink at 48 kHz, pulses
# (20 ms at 20000, four a second) played into its left channel through a remap sink, the loop
# under test reading the left channel through a remap source and playing into the right channel
# through another remap sink, and one recorder of the sink's monitor holding both channels. The
# delay from each pulse's rising edge on the left to its copy's on the right is the loop's latency.
#
#   bash bench/live_latency.sh [--seconds S] [--latencies "10 20 40"]
#                              [--servers "pulseaudio pipewire"] [--loops "unit listen pipe"]
#                              [--load N]
#
# Prints one row per server, loop and target: pulses measured, the median, the 5th and 95th
# percentiles, the least and greatest delay in ms, pulses lost, and the load average. The unit's
# rows add its own figures (bench_live_loop's summary), vorn-listen's its closing summary
# (underruns, drops). --load N runs N busy loops (`yes > /dev/null`) through each row, a machine
# kept busy on N cores. Needs a build of bench_live_loop and vorn-listen (VORN_BUILD, default
# build/default). Takes about (S + 4) seconds per row.
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=${VORN_BUILD:-$here/../build/default}
loopbin=$build/bench/bench_live_loop
listen=$build/listen/vorn-listen
seconds=60
latencies="10 20 40"
servers="pulseaudio pipewire"
loops="unit listen pipe"
load=0
while [ $# -gt 0 ]; do
    case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --latencies) latencies=$2; shift 2 ;;
    --servers) servers=$2; shift 2 ;;
    --loops) loops=$2; shift 2 ;;
    --load) load=$2; shift 2 ;;
    --inside) inside=1; shift ;;
    *) echo "live_latency.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
if [ ! -x "$loopbin" ] || [ ! -x "$listen" ]; then
    echo "live_latency.sh: build bench_live_loop and vorn-listen first ($loopbin, $listen)" >&2
    exit 2
fi

if [ -z "${inside:-}" ]; then
    echo "server      loop   target  pulses median   p5  p95  min  max lost  load  (ms)"
    for server in $servers; do
        "$here/../tests/support/with-sound-server.sh" --server "$server" --sink-rate 48000 \
            --sink-channels 2 bash "$0" --inside --seconds "$seconds" --latencies "$latencies" \
            --loops "$loops" --load "$load"
    done
    exit 0
fi

rate=48000
work=$(mktemp -d)
busy=()
trap 'kill "${busy[@]}" 2>/dev/null; rm -rf "$work"' EXIT
# The recorder's own buffering does not enter the figure (both channels share its clock); under
# PipeWire a short one would pull the server's cycle down for every client.
record_latency=20
[ "$VORN_SOUND_SERVER" = pipewire ] && record_latency=100

pactl load-module module-remap-source source_name=vorn_left_source master="$VORN_SINK.monitor" \
    channels=1 master_channel_map=front-left channel_map=mono >/dev/null
pactl load-module module-remap-sink sink_name=vorn_left master="$VORN_SINK" channels=1 \
    master_channel_map=front-left channel_map=mono >/dev/null
pactl load-module module-remap-sink sink_name=vorn_right master="$VORN_SINK" channels=1 \
    master_channel_map=front-right channel_map=mono >/dev/null
"$loopbin" pulses --rate $rate --seconds "$seconds" >"$work/pulses.raw"

raw=(--raw --format=s16le --rate=$rate)
measure() {
    local kind=$1 target=$2 recorder loop=() summary="" i
    busy=()
    for i in $(seq "$load"); do
        yes >/dev/null &
        busy+=($!)
    done
    parec -d "$VORN_SINK.monitor" "${raw[@]}" --channels=2 --latency-msec=$record_latency \
        >"$work/recording.raw" 2>/dev/null &
    recorder=$!
    case "$kind" in
    unit)
        "$loopbin" loop --source vorn_left_source --sink vorn_right --latency "$target" \
            --seconds $((seconds + 10)) 2>"$work/loop.log" &
        loop=($!)
        ;;
    listen)
        "$listen" --capture vorn_left_source --device vorn_right --latency "$target" \
            </dev/null 2>"$work/loop.log" &
        loop=($!)
        ;;
    pipe)
        rm -f "$work/fifo"
        mkfifo "$work/fifo"
        parec -d vorn_left_source "${raw[@]}" --channels=1 --latency-msec="$target" \
            >"$work/fifo" 2>/dev/null &
        loop=($!)
        pacat -d vorn_right "${raw[@]}" --channels=1 --latency-msec="$target" \
            <"$work/fifo" 2>/dev/null &
        loop+=($!)
        ;;
    esac
    sleep 1
    pacat -d vorn_left "${raw[@]}" --channels=1 --latency-msec=100 <"$work/pulses.raw"
    sleep 0.5
    kill -INT "${loop[@]}" 2>/dev/null
    wait "${loop[@]}" 2>/dev/null
    kill -INT $recorder
    wait $recorder 2>/dev/null
    kill "${busy[@]}" 2>/dev/null
    wait "${busy[@]}" 2>/dev/null
    busy=()
    [ "$kind" = unit ] && summary=$(grep 'summary' "$work/loop.log" | sed 's/^loop summary: //')
    [ "$kind" = listen ] && summary=$(tail -n 1 "$work/loop.log" | sed 's/^vorn-listen: [^:]*: //')
    printf '%-11s %-6s %6s  %s  %s  %s\n' "$VORN_SOUND_SERVER" "$kind" "$target" \
        "$("$loopbin" analyse "$work/recording.raw" --rate $rate | awk '{printf "%6d %6.1f %4.1f %4.1f %4.1f %4.1f %4d", $1, $2, $3, $4, $5, $6, $7}')" \
        "$(cut -d' ' -f1 /proc/loadavg)" "$summary"
    if [ -n "${VORN_LIVE_LOG:-}" ] && [ "$kind" != pipe ]; then
        cat "$work/loop.log" >&2
    fi
}

for target in $latencies; do
    for kind in $loops; do
        measure "$kind" "$target"
    done
done
