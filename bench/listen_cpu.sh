#!/usr/bin/env bash
# The CPU share of vorn-listen playing a 48 kHz stereo 16-bit file through the filter beside
# paplay playing the same file, on private PulseAudio and PipeWire servers, side by side in rounds
# (as bench/audio_cpu.sh does: a moment in which a shared machine's host holds the processor back
# hits both alike), each from /proc/PID/stat (user + system time) over the same interval. Prints
# per server and latency target the median share of each and their ratio.
#
#   bash bench/listen_cpu.sh [--seconds S] [--rounds N] [--latencies "default 100"]
#                            [--servers "pulseaudio pipewire"]
#
# Needs a build of vorn-listen (VORN_BUILD, default build/default) and python3 (to write the
# file). Takes about (S + 2) * N seconds per server and target.
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=${VORN_BUILD:-$here/../build/default}
listen=$build/listen/vorn-listen
seconds=20
rounds=5
latencies="default"
servers="pulseaudio pipewire"
while [ $# -gt 0 ]; do
    case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --latencies) latencies=$2; shift 2 ;;
    --servers) servers=$2; shift 2 ;;
    --inside) inside=1; shift ;;
    *) echo "listen_cpu.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
[ -x "$listen" ] || { echo "listen_cpu.sh: build vorn-listen first ($listen)" >&2; exit 2; }

if [ -z "${inside:-}" ]; then
    echo "server      target   vorn-listen  paplay  ratio  (% of one core, median of $rounds rounds of $seconds s)  load"
    for server in $servers; do
        "$here/../tests/support/with-sound-server.sh" --server "$server" --sink-rate 48000 \
            --sink-channels 2 bash "$0" --inside --seconds "$seconds" --rounds "$rounds" \
            --latencies "$latencies"
    done
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work/song.wav" $((seconds + 5)) <<'PY'
import array, math, sys, wave
path, seconds = sys.argv[1], int(sys.argv[2])
rate = 48000
samples = array.array('h')
state = 1
for n in range(rate * seconds):
    t = n / rate
    state = (state * 1664525 + 1013904223) % 2**32
    samples.append(int(9000 * math.sin(2 * math.pi * 440 * t) + 3000 * math.sin(2 * math.pi * 3100 * t)))
    samples.append((state >> 16) % 18000 - 9000)
with wave.open(path, 'wb') as out:
    out.setnchannels(2)
    out.setsampwidth(2)
    out.setframerate(rate)
    out.writeframes(samples.tobytes())
PY
hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null; }
share() { awk -v t=$(($2 - $1)) -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.2f\n", 100 * t / hz / s }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for target in $latencies; do
    option=()
    [ "$target" = default ] || option=(--latency "$target")
    : >"$work/listen" && : >"$work/paplay"
    for _ in $(seq "$rounds"); do
        "$listen" "$work/song.wav" --quiet "${option[@]}" </dev/null >/dev/null 2>&1 &
        l=$!
        paplay "$work/song.wav" >/dev/null 2>&1 &
        p=$!
        sleep 1
        l0=$(ticks $l) && p0=$(ticks $p)
        sleep "$seconds"
        l1=$(ticks $l) && p1=$(ticks $p)
        kill -INT $l $p 2>/dev/null
        wait $l $p 2>/dev/null
        share "$l0" "$l1" >>"$work/listen"
        share "$p0" "$p1" >>"$work/paplay"
    done
    a=$(median <"$work/listen") b=$(median <"$work/paplay")
    printf '%-11s %-8s %8s %% %6s %% %6s   %s\n' "$VORN_SOUND_SERVER" "$target" "$a" "$b" \
        "$(awk -v a="$a" -v b="$b" 'BEGIN { if (b > 0) printf "%.1fx", a / b; else print "-" }')" \
        "$(cut -d' ' -f1-3 /proc/loadavg)"
done
