#!/usr/bin/env bash
# check_usage_docs.sh VORN_RENDER README
# The renderer's synopsis is written in three places: its --help (the source), the manual page
# (checked against --help by the package test) and the README. The README's first code block under
# "## The command-line renderer" must be the usage block of --help, line for line.
set -euo pipefail
render=$1
readme=$2

help=$("$render" --help | sed -n '/^usage:$/,/^$/p' | sed '1d;$d' | sed 's/^  //')
documented=$(awk '
    /^## The command-line renderer/ { section = 1; next }
    section && /^## / { exit }
    section && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }
' "$readme")

if [ -z "$help" ] || [ -z "$documented" ]; then
    echo "FAIL: no usage block found (--help: ${#help} bytes, README: ${#documented} bytes)" >&2
    exit 1
fi
if [ "$help" != "$documented" ]; then
    echo "FAIL: the README's renderer synopsis differs from vorn-render --help:" >&2
    diff <(echo "$documented") <(echo "$help") >&2 || true
    exit 1
fi
echo "PASS: the README's renderer synopsis is the usage block of --help ($(wc -l <<<"$help") lines)"
