#!/usr/bin/env bash
# The audio figures, each on a fresh private PulseAudio server:
#   60 s streaming with a Draw every 100 ms and a settings change every 5 s (underruns,
#   bit-exactness, settings-to-sink delay), CPU time of one window streaming, two windows at once.
# usage: bench/audio_figures.sh [build dir]   (default build/default; builds bench_audio_stream)
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/default}
cmake --build "$build" --target bench_audio_stream >/dev/null || exit 1
bin=$build/bench/bench_audio_stream
pulse=$here/../tests/support/with-pulse.sh
status=0
for mode in "soak 60" "cpu 20" "two 10"; do
    # shellcheck disable=SC2086
    "$pulse" "$bin" $mode 2>/dev/null | grep -E '^(soak|cpu|two):' || status=1
done
exit $status
