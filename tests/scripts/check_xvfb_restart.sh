#!/usr/bin/env bash
# with-xvfb.sh runs a command once more on a fresh Xvfb when the server ended under it, and only
# then: a command that fails on a live server fails at once.
#   check_xvfb_restart.sh WITH_XVFB
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# shellcheck disable=SC2016
"$1" bash -c 'echo "$DISPLAY" >>"$0/runs"
    if [ ! -e "$0/killed" ]; then
        touch "$0/killed"
        for cmdline in /proc/[0-9]*/cmdline; do
            tr "\0" " " <"$cmdline" 2>/dev/null | grep -q "^Xvfb $DISPLAY " &&
                kill "$(basename "$(dirname "$cmdline")")"
        done
        sleep 1
        exit 1
    fi
    xdpyinfo >/dev/null' "$work" 2>"$work/err" || fail "the second run failed: $(cat "$work/err")"
[ "$(wc -l <"$work/runs")" -eq 2 ] || fail "not run twice"
grep -q "ended" "$work/err" || fail "the server's end was not reported"

# shellcheck disable=SC2016
"$1" bash -c 'echo run >>"$0/once"; exit 3' "$work" 2>/dev/null
[ $? -eq 3 ] || fail "a failure on a live server did not keep its status"
[ "$(wc -l <"$work/once")" -eq 1 ] || fail "a failure on a live server was run again"
echo "PASS"
