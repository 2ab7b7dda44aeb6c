#!/usr/bin/env bash
# The CPU share and wake-ups of the idle program: one document window, focused, not streaming,
# nothing changing, under a private Xvfb, from /proc (user + system time, voluntary context
# switches of every thread) over a fixed interval. Target: at most 0.1 % of one core.
# usage: bench/idle_cpu.sh [path to vorn] [seconds]
set -u
here=$(cd "$(dirname "$0")" && pwd)
vorn=${1:-$here/../build/default/app/vorn}
seconds=${2:-30}
[ -x "$vorn" ] || { echo "idle_cpu.sh: no executable at $vorn" >&2; exit 1; }
. "$here/xvfb_session.sh" "$vorn" "$seconds"
"$vorn" >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT

window=""
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Vorn - ' 2>/dev/null | head -n1)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "idle: the window did not appear"; exit 1; }
xdotool windowfocus --sync "$window"
sleep 2

ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
# Voluntary context switches (wake-ups) by thread id, one "tid count" line each.
wakeups() {
    local task
    for task in /proc/$pid/task/*; do
        echo "${task##*/} $(awk '/^voluntary_ctxt_switches/ { print $2 }' "$task/status" 2>/dev/null)"
    done | sort
}
t0=$(ticks)
wakeups >"$work/w0"
sleep "$seconds"
t1=$(ticks)
wakeups >"$work/w1"
w=$(join "$work/w0" "$work/w1" | awk '{ s += $3 - $2 } END { print s + 0 }')
hz=$(getconf CLK_TCK)
awk -v t=$((t1 - t0)) -v w="$w" -v hz="$hz" -v s="$seconds" 'BEGIN {
    printf "idle: one focused window for %d s: %.3f %% of one core, %d wake-ups\n", s, 100 * t / hz / s, w }'
