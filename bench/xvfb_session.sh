# Sourced by the figures that run the program under a private Xvfb: runs the calling script again
# under one (with the arguments given here), then gives it a private HOME, configuration and
# runtime folder inside $work, which the caller removes.
# usage: . "$here/xvfb_session.sh" ARGS...
if [ -z "${VORN_BENCH_UNDER_XVFB:-}" ]; then
    VORN_BENCH_UNDER_XVFB=1 exec "$here/../tests/support/with-xvfb.sh" "$0" "$@"
fi
work=$(mktemp -d)
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
