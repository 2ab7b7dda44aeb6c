#!/usr/bin/env bash
# usage: startup_xvfb.sh <path to vorn>   (run under with-xvfb.sh)
# Starts the real program, waits for its main window "Vorn - Vorn1", takes a screenshot and checks
# that the window is drawn; then checks that a file that cannot be opened ends the program with
# its message and a non-zero exit status.
set -u
vorn=$1
work=$(mktemp -d)
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# On failure the program's own output says more (it is deleted with the work directory).
fail() {
    echo "FAIL: $*" >&2
    for log in "$work"/out*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log"):" >&2; cat "$log" >&2; }
    done
    exit 1
}

# Polls (every 50 ms, at most 20 s) for a visible window whose name matches; prints its id.
wait_window() {
    local pattern=$1 id
    for _ in $(seq 1 400); do
        id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

"$vorn" >"$work/out.log" 2>&1 &
pid=$!
win=$(wait_window '^Vorn - Vorn1$') || fail "no window 'Vorn - Vorn1' appeared"
sleep 0.5
import -window root "$work/shot.png" || fail "screenshot failed"
eval "$(xdotool getwindowgeometry --shell "$win")"
# The main window's part of the screen shows menus, toolbar, the document window and the plot:
# far more than a handful of colours.
colours=$(convert "$work/shot.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -format '%k' info:)
echo "window ${WIDTH}x${HEIGHT}+${X}+${Y}, $colours colours"
[ "$WIDTH" -ge 300 ] && [ "$HEIGHT" -ge 200 ] || fail "window too small: ${WIDTH}x${HEIGHT}"
[ "$colours" -ge 16 ] || fail "the window looks blank ($colours colours)"
kill "$pid"; wait "$pid" 2>/dev/null; pid=""

# A file that cannot be opened: the message, then a non-zero exit status.
"$vorn" "$work/missing.txt" >"$work/out2.log" 2>&1 &
pid=$!
box=$(wait_window '^Vorn$') || fail "no message box appeared"
xdotool windowfocus --sync "$box" key Return
for _ in $(seq 1 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
done
if kill -0 "$pid" 2>/dev/null; then fail "the program did not end after the message"; fi
wait "$pid"; status=$?; pid=""
[ "$status" -ne 0 ] || fail "exit status 0 after a failed open"
echo "PASS: main window shown, screenshot has $colours colours; failed open ended with status $status"
