#!/usr/bin/env bash
# usage: with-accessibility-bus.sh command [args...]
# Runs the command with a private D-Bus session bus and the accessibility bus on it (AT-SPI), as a
# desktop with a screen reader has them, and always stops both. Qt then turns its accessibility
# on (QT_LINUX_ACCESSIBILITY_ALWAYS_ON), so the command's widgets report what they announce.
# Needs DISPLAY (the accessibility bus names itself on the X server). Exit status: the command's,
# or 125 if a bus did not start.
set -u

dir=$(mktemp -d)
bus_pid=""
launcher_pid=""
cleanup() {
    [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null && wait "$launcher_pid" 2>/dev/null
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export XDG_RUNTIME_DIR="$dir"
if ! dbus-daemon --session --fork --nopidfile --address="unix:path=$dir/bus" \
    --print-pid=3 3>"$dir/bus.pid" >/dev/null 2>"$dir/bus.log"; then
    echo "with-accessibility-bus: no session bus" >&2
    cat "$dir/bus.log" >&2
    exit 125
fi
bus_pid=$(cat "$dir/bus.pid")
export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus"

/usr/libexec/at-spi-bus-launcher --launch-immediately >"$dir/launcher.log" 2>&1 &
launcher_pid=$!
# The launcher owns its name once the accessibility bus runs; give up after 10 s.
for _ in $(seq 100); do
    if dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null 2>&1; then
        export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
        "$@"
        exit $?
    fi
    sleep 0.1
done
echo "with-accessibility-bus: the accessibility bus did not start" >&2
cat "$dir/launcher.log" >&2
exit 125
