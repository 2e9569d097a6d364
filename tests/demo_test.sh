#!/bin/bash
# make demo's script: every file it announces exists when it ends.
#   demo_test.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=/dev/null
. "$here/check.sh"
out=$("$here/../examples/run_demo.sh" "$1" 2>&1)
check "demo runs" "0" "$?"
for f in $(printf '%s\n' "$out" | grep -oE "[^ :()]+\.(txt|nc|html)" | sort -u); do
    check "announced $f" "yes" "$(exists "$f")"
done
finish
