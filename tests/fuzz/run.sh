#!/usr/bin/env bash
# run.sh BUILD SECONDS [TARGET...]
# Runs every fuzz target of the fuzz build BUILD (or those named) for SECONDS each, one after the
# other, each on one core. The seeds of tests/fuzz/corpus/<target> are read, not written: new
# inputs go to BUILD/fuzz-corpus/<target>, whatever a target finds to
# BUILD/fuzz-findings/<target>/, its output to BUILD/fuzz-logs/<target>.log. Fails when any
# target finds something: a crash, a sanitizer's report, a broken invariant, a timeout (25 s), a
# leak or more than 2 GB of memory. Prints each target's runs, speed and coverage.
set -euo pipefail
build=$1
seconds=$2
shift 2
list=$build/fuzz-targets.txt
if [ ! -s "$list" ]; then
    echo "run.sh: no fuzz targets listed in $list (configure with the preset fuzz)" >&2
    exit 2
fi
# The leaks of the system's codec libraries are theirs (lsan.supp says which and why).
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp:print_suppressions=0"
status=0
while IFS='=' read -r name executable seeds; do
    if [ -z "$name" ] || { [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; }; then
        continue
    fi
    work=$build/fuzz-corpus/$name
    findings=$build/fuzz-findings/$name
    log=$build/fuzz-logs/$name.log
    mkdir -p "$work" "$findings" "$(dirname "$log")"
    if "$executable" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$seeds" >"$log" 2>&1; then
        done_line=$(grep -a 'DONE ' "$log" | tail -1)
        runs=$(sed -n 's/^#\([0-9]*\).*/\1/p' <<<"$done_line")
        cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$done_line")
        ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$done_line")
        speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
        echo "$name: $runs runs in $seconds s, $speed per second, cov: $cov, ft: $ft"
    else
        echo "$name: FOUND SOMETHING; the input is in $findings/, the report in $log" >&2
        grep -a -m 3 -E 'ERROR|invariant broken|SUMMARY' "$log" >&2 || true
        status=1
    fi
done <"$list"
exit $status
