#!/usr/bin/env bash
# The private sound server comes back with --start after it died on its own (killed, not
# stopped through the script), under PulseAudio and PipeWire: the sound tests that follow a
# server's death run against a live server again.
#   check_sound_server_restart.sh WITH_SOUND_SERVER
set -u
status=0
for server in pulseaudio pipewire; do
    # shellcheck disable=SC2016
    if ! VORN_SOUND_SERVER=$server timeout 60 "$1" bash -c '
        while read -r pid; do kill -9 "$pid"; done <"$XDG_RUNTIME_DIR/vorn-server.pids"
        for i in $(seq 50); do
            timeout 2 pactl info >/dev/null 2>&1 || break
            sleep 0.1
        done
        timeout 2 pactl info >/dev/null 2>&1 && { echo "the server did not die" >&2; exit 1; }
        "$VORN_SOUND_CTL" --start && timeout 5 pactl info | grep -q "^Server Name"'; then
        echo "FAIL: the $server server did not come back after it died" >&2
        status=1
    fi
done
exit "$status"
