#!/bin/sh
# The dive tables of the bundled example, recomputed from its TDR table by
# recompute_dives.py, with the default and with other settings.
#   dives_cli_test.sh VANDREL_TDR SAMPLE PYTHON3
set -u
TOOL=$1
SAMPLE=$2
PYTHON=$3
RECOMPUTE="$(cd "$(dirname "$0")" && pwd)/recompute_dives.py"
# shellcheck source=/dev/null
. "$(dirname "$0")/../check.sh"
status=0

for settings in "" "50 -0.35" "0.05 0.3" "0 -1"; do
    # shellcheck disable=SC2086
    set -- $settings
    run "$TOOL" --quiet --dives ${1:+--dive-threshold "$1"} ${2:+--zero-offset "$2"} --output s "$SAMPLE"
    check "status with '$settings'" 0 "$status"
    # shellcheck disable=SC2086
    check "table with '$settings'" yes "$("$PYTHON" "$RECOMPUTE" s_tdr.txt s_dives.txt $settings >&2 && echo yes)"
done
finish
