#!/usr/bin/env bash
# usage: with-xvfb.sh command [args...]
# Runs the command against a private Xvfb on a display number of its own and always stops that
# server. The number is drawn at random from 100-999, not the lowest free one: a server that is
# still shutting down on a just-freed number would remove the new server's socket file (and hold
# its abstract socket), and clients of the new one could not connect.
set -u

dir=$(mktemp -d)
xvfb_pid=""
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkfifo "$dir/displayfd"

# Starts Xvfb on a free number; sets display and xvfb_pid. The server does not reset when its
# last client leaves (the tests start and end one client after another).
start_xvfb() {
    display=""
    for _ in $(seq 10); do
        number=$((100 + RANDOM % 900))
        Xvfb ":$number" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
            3>"$dir/displayfd" >"$dir/xvfb.log" 2>&1 &
        xvfb_pid=$!
        # Xvfb writes its display number once it accepts clients, or ends at once when the
        # number is taken; give up on it after 20 s.
        display=$(timeout 20 head -n1 "$dir/displayfd")
        [ -n "$display" ] && break
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=""
    done
    if [ -z "$display" ]; then
        echo "with-xvfb: Xvfb did not start" >&2
        cat "$dir/xvfb.log" >&2
        return 1
    fi
    export DISPLAY=":$display"
}

export QT_QPA_PLATFORM=xcb
start_xvfb || exit 1
"$@"
status=$?
# A command that failed because the X server went away under it (its clients then find "no
# display") is run once more on a fresh one; the server's own last words are shown.
if [ "$status" -ne 0 ] && ! kill -0 "$xvfb_pid" 2>/dev/null; then
    wait "$xvfb_pid" 2>/dev/null
    echo "with-xvfb: Xvfb $DISPLAY ended (status $?) while the command ran; its log:" >&2
    cat "$dir/xvfb.log" >&2
    echo "with-xvfb: running the command again on a fresh Xvfb" >&2
    start_xvfb || exit 1
    "$@"
    status=$?
elif [ "$status" -ne 0 ] && [ -s "$dir/xvfb.log" ]; then
    echo "with-xvfb: the command failed; Xvfb $DISPLAY still runs; its log:" >&2
    cat "$dir/xvfb.log" >&2
fi
exit "$status"
