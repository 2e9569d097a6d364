#!/bin/sh
# The manual pages and the --help texts name the same options, and the pages
# render without a warning.
#   man_check.sh MAN_DIR PROGRAM...
set -u
MAN=$1
shift
# shellcheck source=/dev/null
. "$(dirname "$0")/check.sh"
options() { sed 's/\\f[BIRP]//g; s/\\//g' | grep -o -- '--[a-z][a-z-]*' | sort -u | tr '\n' ' '; }
for prog in "$@"; do
    name=$(basename "$prog" .exe)
    check "$name options" "$(options < "$MAN/$name.1")" "$("$prog" --help | options)"
    if command -v groff > /dev/null 2>&1; then
        check "$name renders" "" "$(groff -man -ww -z "$MAN/$name.1" 2>&1)"
    fi
done
finish
