#!/usr/bin/env bash
# check_usage_docs.sh PROGRAM README [SECTION [BLOCK]]
# A tool's synopsis is written in three places: its --help (the source), the manual page (checked
# against --help by the package test) and the README. The README's code block number BLOCK
# (default 1) under the heading SECTION (default "The command-line renderer") must be the usage
# block of --help, line for line.
set -euo pipefail
render=$1
readme=$2
section=${3:-The command-line renderer}
block=${4:-1}

help=$("$render" --help | sed -n '/^usage:$/,/^$/p' | sed '1d;$d' | sed 's/^  //')
documented=$(awk -v heading="## $section" -v block="$block" '
    index($0, heading) == 1 { section = 1; next }
    section && /^## / { exit }
    section && /^```/ { if (inside) { if (count == block) exit; inside = 0 } else { inside = 1; ++count }; next }
    inside && count == block { print }
' "$readme")

if [ -z "$help" ] || [ -z "$documented" ]; then
    echo "FAIL: no usage block found (--help: ${#help} bytes, README: ${#documented} bytes)" >&2
    exit 1
fi
if [ "$help" != "$documented" ]; then
    echo "FAIL: the README's synopsis under '$section' differs from $(basename "$render") --help:" >&2
    diff <(echo "$documented") <(echo "$help") >&2 || true
    exit 1
fi
echo "PASS: the README's synopsis under '$section' is the usage block of --help ($(wc -l <<<"$help") lines)"
