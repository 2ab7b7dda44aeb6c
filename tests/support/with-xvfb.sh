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
display=""
for _ in $(seq 10); do
    number=$((100 + RANDOM % 900))
    Xvfb ":$number" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/displayfd" \
        >"$dir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    # Xvfb writes its display number once it accepts clients, or ends at once when the number is
    # taken; give up on it after 20 s.
    display=$(timeout 20 head -n1 "$dir/displayfd")
    [ -n "$display" ] && break
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
done
if [ -z "$display" ]; then
    echo "with-xvfb: Xvfb did not start" >&2
    cat "$dir/xvfb.log" >&2
    exit 1
fi

export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
"$@"
