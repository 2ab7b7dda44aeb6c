#!/usr/bin/env bash
# Runs a command against a private sound server, PulseAudio or PipeWire (with its PulseAudio
# protocol server), and always stops the server afterwards.
#
#   with-sound-server.sh [--server pulseaudio|pipewire] [--sink-rate HZ] [--sink-channels 1|2]
#                        COMMAND [ARGS...]
#
# The server lives in a private XDG_RUNTIME_DIR, HOME and XDG_CONFIG_HOME (nothing of the
# machine's user leaks in) and has one null sink "vorn_sink" as default sink, 44100 Hz mono
# unless asked otherwise; under PipeWire the graph runs at the sink's rate. A silent player keeps
# the sink running, so a recording of its monitor misses nothing at the start of a stream: at
# 20 ms under PulseAudio, at 100 ms under PipeWire (a 20 ms player pulls PipeWire's cycle down to
# 128 frames, too short for a small machine). Works as root without systemd or D-Bus; the default
# server is PulseAudio, or VORN_SOUND_SERVER.
#
# Inside COMMAND, VORN_SOUND_CTL names this script, which then also takes:
#
#   with-sound-server.sh --start    start the server again (nothing if it runs)
#   with-sound-server.sh --stop     stop it gracefully
#   with-sound-server.sh --kill     kill it hard, as a crash would
#   with-sound-server.sh --pause    stop its processes with SIGSTOP, as a wedged server hangs
#   with-sound-server.sh --resume   let them go on (SIGCONT)
#
# and VORN_SOUND_SERVER, VORN_SINK, VORN_SINK_RATE and VORN_SINK_CHANNELS describe the server.
# Exit status: COMMAND's, or 125 if the server did not start.
set -u

pids_file() { echo "$XDG_RUNTIME_DIR/vorn-server.pids"; }

# Whether a process runs. A server that died is not reaped where the machine's first process
# does not reap orphans (a container's): kill -0 still finds it then, as a zombie.
alive() {
    local state
    state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null) || return 1
    [ -n "$state" ] && [ "${state%% *}" != Z ]
}

server_pids() {
    local pid
    [ -f "$(pids_file)" ] || return 0
    while read -r pid; do
        [ -n "$pid" ] && alive "$pid" && echo "$pid"
    done <"$(pids_file)"
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
        alive "$pid" || return 0
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
    return 0
}

# Waits until the PulseAudio protocol answers (on the expected server).
wait_for_protocol() {
    local i
    for i in $(seq 150); do
        if timeout 5 pactl info 2>/dev/null | grep -q "$1"; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# The end of the server's log on stderr, without what a private server always says (that it
# runs as root, without a cookie or D-Bus).
server_log_tail() {
    grep -v -e 'run as root' -e 'authkey\.c' -e 'D-Bus' -e 'session bus' \
        "$XDG_RUNTIME_DIR/server.log" 2>/dev/null | tail -n "$1" >&2
    return 0
}

start_keepalive() {
    local latency=$1
    pacat --raw --format=s16le --rate="$VORN_SINK_RATE" --channels="$VORN_SINK_CHANNELS" \
        --latency-msec="$latency" -d "$VORN_SINK" </dev/zero >/dev/null 2>&1 &
    echo $! >"$XDG_RUNTIME_DIR/vorn-keepalive.pid"
}

sink_arguments() {
    local map=mono
    [ "$VORN_SINK_CHANNELS" = 2 ] && map=front-left,front-right
    echo "sink_name=$VORN_SINK rate=$VORN_SINK_RATE channels=$VORN_SINK_CHANNELS channel_map=$map"
}

start_pulseaudio() {
    # PulseAudio's real-time thread is killed outright, with no word in its log, once it has run
    # 200 ms without sleeping: on a loaded machine a test server must not go that way.
    local conf=$XDG_CONFIG_HOME/pulse-daemon.conf
    echo 'rlimit-rttime = -1' >"$conf"
    # A server that died leaves its pid file, and PulseAudio will not start over a zombie's.
    rm -f "$XDG_RUNTIME_DIR/pulse/pid"
    # shellcheck disable=SC2046
    PULSE_CONFIG=$conf timeout 20 pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
        --log-target=file:"$XDG_RUNTIME_DIR/server.log" --log-level=notice \
        --load="module-null-sink $(sink_arguments) norewinds=1" \
        --load=module-native-protocol-unix >/dev/null 2>&1
    if ! wait_for_protocol 'Server Name: pulseaudio'; then
        echo "with-sound-server: the PulseAudio server did not start" >&2
        return 1
    fi
    cat "$XDG_RUNTIME_DIR/pulse/pid" >"$(pids_file)"
    timeout 5 pactl set-default-sink "$VORN_SINK" >/dev/null 2>&1
    start_keepalive 20
}

start_pipewire() {
    local conf=$XDG_CONFIG_HOME i
    mkdir -p "$conf/pipewire/pipewire.conf.d" "$conf/wireplumber/main.lua.d" \
        "$conf/wireplumber/bluetooth.lua.d"
    printf 'context.properties = {\n  default.clock.rate = %s\n  default.clock.allowed-rates = [ %s ]\n}\n' \
        "$VORN_SINK_RATE" "$VORN_SINK_RATE" >"$conf/pipewire/pipewire.conf.d/10-rate.conf"
    printf '%s\n' 'alsa_monitor.enabled = false' 'v4l2_monitor.enabled = false' \
        'libcamera_monitor.enabled = false' \
        'default_access.properties["enable-flatpak-portal"] = false' \
        >"$conf/wireplumber/main.lua.d/51-headless.lua"
    echo 'bluez_monitor.enabled = false' >"$conf/wireplumber/bluetooth.lua.d/51-headless.lua"
    local log=$XDG_RUNTIME_DIR/server.log
    : >"$(pids_file)"
    pipewire >>"$log" 2>&1 &
    disown
    echo $! >>"$(pids_file)"
    for i in $(seq 100); do
        [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break
        sleep 0.1
    done
    wireplumber >>"$log" 2>&1 &
    disown
    echo $! >>"$(pids_file)"
    # Made here, not by pipewire-pulse: the first pactl below, run while pipewire-pulse starts,
    # may make it between pipewire-pulse's look and its mkdir, which then fails ("File exists")
    # and takes the server down.
    mkdir -p -m 700 "$XDG_RUNTIME_DIR/pulse"
    pipewire-pulse >>"$log" 2>&1 &
    disown
    echo $! >>"$(pids_file)"
    if ! wait_for_protocol 'on PipeWire'; then
        echo "with-sound-server: the PipeWire server did not start" >&2
        cat "$log" >&2
        return 1
    fi
    # shellcheck disable=SC2046
    timeout 5 pactl load-module module-null-sink $(sink_arguments) >/dev/null 2>&1
    for i in $(seq 50); do
        timeout 5 pactl set-default-sink "$VORN_SINK" >/dev/null 2>&1
        timeout 5 pactl get-default-sink 2>/dev/null | grep -qx "$VORN_SINK" && break
        sleep 0.1
    done
    start_keepalive 100
}

start_server() {
    [ -n "$(server_pids)" ] && return 0
    if [ -s "$(pids_file)" ]; then
        echo "with-sound-server: the $VORN_SOUND_SERVER server had gone; starting it again" >&2
        server_log_tail 20
    fi
    case "$VORN_SOUND_SERVER" in
    pipewire) start_pipewire ;;
    *) start_pulseaudio ;;
    esac
}

stop_server() {
    local signal=$1 pid
    stop_keepalive
    for pid in $(server_pids); do
        kill -CONT "$pid" 2>/dev/null
        kill "-$signal" "$pid" 2>/dev/null
    done
    for pid in $(server_pids); do
        wait_gone "$pid"
    done
    rm -f "$(pids_file)"
    # PipeWire leaves its sockets behind after a hard kill.
    rm -f "$XDG_RUNTIME_DIR/pipewire-0" "$XDG_RUNTIME_DIR/pipewire-0.lock" \
        "$XDG_RUNTIME_DIR/pipewire-0-manager" "$XDG_RUNTIME_DIR/pipewire-0-manager.lock"
    return 0
}

signal_server() {
    local pid
    for pid in $(server_pids); do
        kill "-$1" "$pid" 2>/dev/null
    done
    return 0
}

case "${1:-}" in
--start) start_server; exit ;;
--stop) stop_server TERM; exit 0 ;;
--kill) stop_server KILL; exit 0 ;;
--pause) signal_server STOP; exit 0 ;;
--resume) signal_server CONT; exit 0 ;;
esac

VORN_SOUND_SERVER=${VORN_SOUND_SERVER:-pulseaudio}
VORN_SINK_RATE=44100
VORN_SINK_CHANNELS=1
while [ $# -gt 0 ]; do
    case "$1" in
    --server) VORN_SOUND_SERVER=$2; shift 2 ;;
    --sink-rate) VORN_SINK_RATE=$2; shift 2 ;;
    --sink-channels) VORN_SINK_CHANNELS=$2; shift 2 ;;
    --) shift; break ;;
    *) break ;;
    esac
done
case "$VORN_SOUND_SERVER" in
pulseaudio | pipewire) ;;
*) echo "with-sound-server: unknown server '$VORN_SOUND_SERVER'" >&2; exit 2 ;;
esac
if [ $# -eq 0 ]; then
    echo "usage: with-sound-server.sh [--server pulseaudio|pipewire] [--sink-rate HZ]" \
        "[--sink-channels N] COMMAND [ARGS...]" >&2
    exit 2
fi

XDG_RUNTIME_DIR=$(mktemp -d /tmp/vorn-sound.XXXXXX)
HOME=$XDG_RUNTIME_DIR/home
XDG_CONFIG_HOME=$HOME/.config
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
unset PULSE_SERVER PULSE_SINK DBUS_SESSION_BUS_ADDRESS PIPEWIRE_REMOTE
export XDG_RUNTIME_DIR HOME XDG_CONFIG_HOME VORN_SOUND_SERVER VORN_SINK_RATE VORN_SINK_CHANNELS
export VORN_SOUND_CTL=$(readlink -f "$0") VORN_SINK=vorn_sink

cleanup() {
    stop_server KILL
    rm -rf "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_server || exit 125
"$@"
status=$?
# A test that failed shows what the server said about it (a server that quit says why here).
if [ "$status" -ne 0 ]; then
    echo "with-sound-server: the end of the server's log:" >&2
    server_log_tail 40
fi
exit "$status"
