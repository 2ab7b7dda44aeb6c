#!/usr/bin/env bash
# Runs a command against a private PulseAudio server, and always stops the server afterwards.
#
#   with-pulse.sh COMMAND [ARGS...]
#
# The server lives in a private XDG_RUNTIME_DIR and HOME (nothing of the machine's user leaks in),
# has one null sink "vorn_sink" as default sink, and is kept running by a silent player, so a
# recording of the sink's monitor misses nothing at the start of a stream. Works as root without
# systemd or D-Bus. Inside COMMAND, VORN_PULSE_CTL names this script, which then also takes:
#
#   with-pulse.sh --start    start the server (again)
#   with-pulse.sh --stop     stop it gracefully
#   with-pulse.sh --kill     kill it hard, as a crash would
#
# VORN_SINK names the sink. Exit status: COMMAND's, or 125 if the server did not start.
set -u

sink=vorn_sink

server_pid() {
    local pid
    pid=$(cat "$XDG_RUNTIME_DIR/pulse/pid" 2>/dev/null) || return 1
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && echo "$pid"
}

stop_keepalive() {
    local pid
    pid=$(cat "$XDG_RUNTIME_DIR/vorn-keepalive.pid" 2>/dev/null) || return 0
    kill "$pid" 2>/dev/null
    rm -f "$XDG_RUNTIME_DIR/vorn-keepalive.pid"
}

wait_gone() {
    local pid=$1 i
    for i in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
    return 0
}

start_server() {
    timeout 20 pulseaudio --daemonize=yes --exit-idle-time=-1 -n --log-target=stderr --log-level=error \
        --load="module-null-sink sink_name=$sink rate=44100 norewinds=1" \
        --load=module-native-protocol-unix >/dev/null 2>&1
    local i
    for i in $(seq 100); do
        if timeout 5 pactl info >/dev/null 2>&1; then
            timeout 5 pactl set-default-sink "$sink" >/dev/null 2>&1
            # A low-latency silent player keeps the sink rendering in short steps.
            pacat --raw --format=s16le --rate=44100 --channels=1 --latency-msec=20 -d "$sink" \
                </dev/zero >/dev/null 2>&1 &
            echo $! >"$XDG_RUNTIME_DIR/vorn-keepalive.pid"
            return 0
        fi
        sleep 0.1
    done
    echo "with-pulse: the PulseAudio server did not start" >&2
    return 1
}

stop_server() {
    local signal=$1 pid
    stop_keepalive
    pid=$(server_pid) || return 0
    kill "-$signal" "$pid" 2>/dev/null
    wait_gone "$pid"
}

case "${1:-}" in
--start) start_server; exit ;;
--stop) stop_server TERM; exit 0 ;;
--kill) stop_server KILL; exit 0 ;;
"") echo "usage: with-pulse.sh COMMAND [ARGS...]" >&2; exit 2 ;;
esac

XDG_RUNTIME_DIR=$(mktemp -d /tmp/vorn-pulse.XXXXXX)
HOME=$XDG_RUNTIME_DIR/home
mkdir -p "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
unset PULSE_SERVER PULSE_SINK DBUS_SESSION_BUS_ADDRESS
export XDG_RUNTIME_DIR HOME
export VORN_PULSE_CTL=$(readlink -f "$0") VORN_SINK=$sink

cleanup() {
    stop_server KILL
    rm -rf "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_server || exit 125
"$@"
