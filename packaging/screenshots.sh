#!/usr/bin/env bash
# usage: screenshots.sh <path to vorn> <output folder>   (run under tests/support/with-xvfb.sh)
# The screenshots of the AppStream metadata and the README, taken from the program itself on a
# private X server: its window after Draw (vorn-time-response.png) and after the frequency
# response (vorn-frequency-response.png). Equal trees give equal files: the window has its own
# size, the pointer is off it, every shot waits until the window has stopped changing, and the
# PNG files carry no time.
set -u
vorn=$1 out=$2
work=$(mktemp -d)
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$out" && chmod 700 "$XDG_RUNTIME_DIR"
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
die() {
    echo "screenshots: $*" >&2
    [ -s "$work/vorn.log" ] && cat "$work/vorn.log" >&2
    exit 1
}

# Polls (every 50 ms, at most 20 s) for a visible window whose name matches; prints its id.
wait_window() {
    local id
    for _ in $(seq 1 400); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}
# The main window as PNG, without metadata.
shoot() {
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -strip \
        -define png:exclude-chunks=date,time "png:$1" 2>/dev/null
}
# Waits (at most 20 s) until the window differs from the PNG $1 and two shots 100 ms apart are
# equal; leaves the last one in $2.
shoot_changed_from() {
    local before=$1 result=$2 last="" now
    for _ in $(seq 1 200); do
        shoot "$work/now.png" || die "screenshot failed"
        now=$(md5sum <"$work/now.png")
        if [ "$now" = "$last" ] && ! cmp -s "$work/now.png" "$before"; then
            mv "$work/now.png" "$result"
            return 0
        fi
        last=$now
        sleep 0.1
    done
    die "the window did not change into a settled picture ($result)"
}

"$vorn" >"$work/vorn.log" 2>&1 &
pid=$!
win=$(wait_window '^Vorn - Vorn1$') || die "no window 'Vorn - Vorn1'"
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove 0 "$((HEIGHT + 10))"
xdotool windowfocus --sync "$win" || die "cannot focus the window"
: >"$work/empty.png"
shoot_changed_from "$work/empty.png" "$work/start.png"

# Draw (描画, Alt+D): one block of the 1 kHz sine through the filter.
xdotool key --clearmodifiers alt+d
shoot_changed_from "$work/start.png" "$work/time.png"

# Ｆ特, the last item of the menu bar (its mnemonic F is File's too): Alt, Left, Enter; then OK
# in its message box.
xdotool key --clearmodifiers alt
xdotool key Left Return
box=$(wait_window '^Vorn$') || die "Ｆ特 showed no message box"
xdotool key Return
for _ in $(seq 1 400); do
    xdotool search --onlyvisible --name '^Vorn$' >/dev/null 2>&1 || break
    sleep 0.05
done
xdotool search --onlyvisible --name '^Vorn$' >/dev/null 2>&1 && die "the message box ($box) stayed"
shoot_changed_from "$work/time.png" "$work/freq.png"

mv "$work/time.png" "$out/vorn-time-response.png"
mv "$work/freq.png" "$out/vorn-frequency-response.png"
