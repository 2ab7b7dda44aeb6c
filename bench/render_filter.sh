#!/usr/bin/env bash
# vorn-render filter beside other tools on the same file, round by round (so that a moment of
# load on the machine falls on all of them): a 10-minute stereo 48 kHz 16-bit WAV through the
# chain by vorn-render, by SoX (the equivalent four sections: three 2-pole low-passes at 1 kHz
# with the sections' Q = 1/k and a 1-pole 1 Hz high-pass) and by scipy's sosfilt (the 6th-order
# Butterworth and a 1st-order high-pass), against one plain copy of the file. Then the peak memory
# of vorn-render filter for 10 and 60 minutes, and a 60-second noise WAV. The order-10 elliptic
# design (five second-order sections and the 1 Hz stage, against the chain's three and one) shows
# what a longer chain costs when the file is read and written alike.
# Needs sox, python3-scipy and python3-soundfile (for the comparison only).
# usage: render_filter.sh [vorn-render] [rounds]
set -euo pipefail
render=${1:-./build/default/tools/vorn-render}
rounds=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sox -D -n -r 48000 -c 2 -b 16 "$work/ten.wav" synth 600 pinknoise pinknoise vol 0.5
sox -D -n -r 48000 -c 2 -b 16 "$work/sixty.wav" synth 3600 pinknoise pinknoise vol 0.5
cat >"$work/sosfilt.py" <<'PY'
import sys
import numpy as np
import soundfile as sf
from scipy import signal
data, rate = sf.read(sys.argv[1], dtype="float64", always_2d=True)
sos = np.vstack([signal.butter(6, 1000, "low", fs=rate, output="sos"),
                 signal.butter(1, 1, "high", fs=rate, output="sos")])
sf.write(sys.argv[2], signal.sosfilt(sos, data, axis=0), rate, subtype="PCM_16")
PY

declare -A label=(
    [cp]="cp (one pass over the data)"
    [vorn]="vorn-render filter"
    [vorn10]="vorn-render filter, order-10 design"
    [sox]="sox lowpass x3 highpass"
    [scipy]="python3 scipy sosfilt"
)
run() {
    case $1 in
    cp) cp "$work/ten.wav" "$work/out-cp.wav" ;;
    vorn) "$render" filter "$work/ten.wav" "$work/out-vorn.wav" --quiet ;;
    vorn10) "$render" filter "$work/ten.wav" "$work/out-vorn10.wav" --quiet --type elliptic \
        --order 10 --ripple 0.5 --stopband 80 ;;
    sox) sox -D "$work/ten.wav" "$work/out-sox.wav" lowpass 1000 1.93185q lowpass 1000 0.707107q \
        lowpass 1000 0.517638q highpass -1 1 ;;
    scipy) /usr/bin/python3 "$work/sosfilt.py" "$work/ten.wav" "$work/out-scipy.wav" ;;
    esac
}
tools=(cp vorn vorn10 sox scipy)
for tool in "${tools[@]}"; do : >"$work/times-$tool"; done
for _ in $(seq "$rounds"); do
    for tool in "${tools[@]}"; do
        rm -f "$work/out-$tool.wav"
        start=$(date +%s.%N)
        run "$tool" >/dev/null 2>&1
        end=$(date +%s.%N)
        awk -v a="$start" -v b="$end" 'BEGIN { print b - a }' >>"$work/times-$tool"
    done
done
median() { sort -n "$1" | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }
minimum() { sort -n "$1" | head -n1; }
vorn=$(median "$work/times-vorn")
echo "10-minute stereo 48 kHz 16-bit WAV ($(stat -c %s "$work/ten.wav") bytes), $rounds rounds:"
for tool in "${tools[@]}"; do
    m=$(median "$work/times-$tool")
    awk -v l="${label[$tool]}" -v m="$m" -v lo="$(minimum "$work/times-$tool")" -v v="$vorn" \
        'BEGIN { printf "  %-30s min %.3f s, median %.3f s, %.2f x the time of vorn-render\n", l, lo, m, m / v }'
done

for file in ten sixty; do
    /usr/bin/time -f "%M" -o "$work/mem" "$render" filter "$work/$file.wav" "$work/out.wav" --quiet
    echo "vorn-render filter, $file-minute file ($(stat -c %s "$work/$file.wav") bytes): peak memory $(cat "$work/mem") KB"
done
rm -f "$work/sixty.wav" "$work/out.wav"

: >"$work/times-noise"
for _ in $(seq "$rounds"); do
    start=$(date +%s.%N)
    "$render" wav --input noise --seconds 60 --output "$work/noise.wav" 2>/dev/null
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { print b - a }' >>"$work/times-noise"
done
echo "vorn-render wav --input noise --seconds 60: min $(minimum "$work/times-noise") s, median $(median "$work/times-noise") s"
