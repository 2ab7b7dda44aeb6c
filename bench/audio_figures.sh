#!/usr/bin/env bash
# The audio figures, on fresh private PulseAudio and PipeWire servers in turn:
#   a 60 s soak with a Draw every 100 ms and a settings change every 5 s (underruns, dropped
#   samples, bit-exactness, settings-to-sink delay), on an idle machine and with two busy loops;
#   the CPU share of one streaming window against aplay's and paplay's, side by side;
#   Run, Stop and closing a window with the server hung (SIGSTOP); two windows at once;
# and the idle program's CPU share under a private Xvfb.
# usage: bench/audio_figures.sh [build dir]   (default build/default)
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/default}
cmake --build "$build" --target bench_audio_stream vorn-render vorn >/dev/null || exit 1
bin=$build/bench/bench_audio_stream
server=$here/../tests/support/with-sound-server.sh
status=0

busy=()
start_busy() {
    sh -c 'while :; do :; done' &
    busy+=($!)
    sh -c 'while :; do :; done' &
    busy+=($!)
}
stop_busy() {
    kill "${busy[@]}" 2>/dev/null
    wait "${busy[@]}" 2>/dev/null
    busy=()
}
trap stop_busy EXIT

for sound in pulseaudio pipewire; do
    echo "== $sound"
    "$server" --server "$sound" "$bin" soak 60 2>/dev/null | grep '^soak:' || status=1
    echo "-- with two busy loops"
    start_busy
    "$server" --server "$sound" "$bin" soak 60 2>/dev/null | grep '^soak:' || status=1
    stop_busy
    "$server" --server "$sound" bash "$here/audio_cpu.sh" "$build" 15 5 || status=1
    "$server" --server "$sound" "$bin" stall 2>/dev/null | grep '^stall:' || status=1
    "$server" --server "$sound" "$bin" two 10 2>/dev/null | grep '^two:' || status=1
done
echo "== idle"
bash "$here/idle_cpu.sh" "$build/app/vorn" 30 || status=1
exit $status
