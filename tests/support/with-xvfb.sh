#!/usr/bin/env bash
# usage: with-xvfb.sh command [args...]
# Runs the command against a private Xvfb on a display the server picks itself (so that parallel
# tests never collide) and always stops that server.
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
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/displayfd" >"$dir/xvfb.log" 2>&1 &
xvfb_pid=$!
# Xvfb writes its display number once it accepts clients; give up after 20 s.
display=$(timeout 20 head -n1 "$dir/displayfd")
if [ -z "$display" ]; then
    echo "with-xvfb: Xvfb did not start" >&2
    cat "$dir/xvfb.log" >&2
    exit 1
fi

export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
"$@"
