#!/usr/bin/env bash
# check_readme_packages.sh INSTALL_DEPS README
# The README lists what `make run` and `make test` install: exactly the packages of
# scripts/install-deps.sh, no more and no fewer.
set -euo pipefail
installed=$(sed -n '/^packages=(/,/^)/p' "$1" | sed '1d;$d' | sed 's/#.*//' | tr -s ' \t' '\n' \
    | sed '/^$/d' | sort)
listed=$(awk '/^\*\*What they install\.\*\*/ { on = 1 } on && /^\| .* \| .* \|$/ { print }
    on && /^\*\*How long/ { exit }' "$2" | sed 1d | awk -F'|' '{ print $3 }' | tr -s ' ' '\n' \
    | sed '/^$/d' | sort)
if [ -z "$installed" ] || [ -z "$listed" ]; then
    echo "FAIL: no packages found (install-deps: ${#installed} bytes, README: ${#listed} bytes)" >&2
    exit 1
fi
if [ "$installed" != "$listed" ]; then
    echo "FAIL: the README's package list differs from scripts/install-deps.sh (< README, > script):" >&2
    diff <(echo "$listed") <(echo "$installed") >&2 || true
    exit 1
fi
echo "PASS: the README lists the $(wc -l <<<"$installed") packages install-deps.sh installs"
