#!/usr/bin/env bash
# check_completion.sh COMPLETION PROGRAM
# Runs the bash completion of PROGRAM (the script the build makes from its command line) in a
# bash, as bash runs it when Tab is pressed: COMP_WORDS and COMP_CWORD set, the function called,
# COMPREPLY read. Each row below is a command line (the words as bash splits them, '=' apart)
# and the candidates it must give, in the C locale's order. File names come from a folder of files.
set -euo pipefail
export LC_ALL=C
completion=$1
program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
touch song.flac something.wav other.txt
# shellcheck disable=SC1090
source "$completion"
function=$(complete -p "$program" | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
[ -n "$function" ] || { echo "FAIL: $completion binds no function to $program" >&2; exit 1; }

candidates() {
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    "$function"
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

failures=0
expect() {
    local want=$1
    shift
    local got
    got=$(candidates "$@")
    if [ "$got" != "$want" ]; then
        echo "FAIL: '$*' gave [$got], not [$want]" >&2
        failures=$((failures + 1))
    fi
}

case $program in
vorn-render)
    expect "--help --version coefficients filter metrics plot points poles response samples spectrum wav" \
        vorn-render ""
    expect "response" vorn-render re
    expect "--version" vorn-render --ver
    expect "--format" vorn-render response --fo
    expect "csv frd text tsv" vorn-render response --format ""
    expect "csv" vorn-render response --format = c
    expect "bessel butterworth chebyshev1 chebyshev2 elliptic" vorn-render response --type ""
    expect "sine step sweep" vorn-render samples --input s
    expect "something.wav song.flac" vorn-render poles --plot so
    expect "something.wav song.flac" vorn-render filter so
    expect "song.flac" vorn-render filter something.wav song
    expect "" vorn-render samples --freq ""
    expect "off" vorn-render filter song.flac - --dc-block ""
    expect "--plot" vorn-render poles --pl
    expect "" vorn-render poles --inp
    expect "--input" vorn-render samples --order 4 --inp
    expect "lowpass" vorn-render coefficients --shape=low
    ;;
vorn-listen)
    expect "something.wav song.flac" vorn-listen so
    expect "--capture" vorn-listen --cap
    expect "noise pink sine step sweep" vorn-listen --input ""
    expect "pink" vorn-listen --input=p
    expect "" vorn-listen --latency ""
    expect "elliptic" vorn-listen --type ell
    expect "off" vorn-listen song.flac --dc-block ""
    expect "--dry" vorn-listen song.flac --dr
    ;;
*)
    echo "FAIL: no rows for $program" >&2
    exit 1
    ;;
esac

if [ "$failures" -gt 0 ]; then
    exit 1
fi
echo "PASS: the bash completion of $program gives every row's candidates"
