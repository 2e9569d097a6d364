#!/bin/sh
# End-to-end runs of the vandrel command: console text, exit status and the
# files it leaves behind.
#   cli_test.sh VANDREL GEN_PACKETS
set -u
VANDREL=$1
GEN=$2
. "$(dirname "$0")/check.sh"
dir=$(mktemp -d "${TMPDIR:-/tmp}/vandrel_cli.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1

# One packet: ID 7, 2026, 3600 s into the year; two samples.
worked_packet() {
    printf '\000\000\000\0078\000\000\016\020'
    printf '\000\000\001\003\016\020\374\005\334\116\040\247\242\004\322\377\377\012\171\000\372\000\000\361\375'
    head -c 94 /dev/zero
}

# No file name: banner, usage, status 1, nothing created.
out=$("$VANDREL"; echo "status=$?")
check "usage" "$(printf '\nvandrel v2\n\nUsage: vandrel filename {offset}\nstatus=1')" "$out"

# A good run; the offset argument and anything after it change nothing.
worked_packet > dump.bin
for extra in "" "1234" "abc" "abc def"; do
    # shellcheck disable=SC2086
    out=$("$VANDREL" dump.bin $extra; echo "status=$?")
    check "run with '$extra'" "$(printf '\nvandrel v2\nProcessing dump.bin\nCompleted: Wrote 2 samples to dump_extracted.txt\nstatus=0')" "$out"
done
expected_table=$(printf 'ID\tdt\tPressure\tTemperature\tConductivity\tSalinity\tFluoro\tLight\tmV\r\n7\t2026-01-01 01:00:00\t5.00\t15.000\t42.914\t34.998\t1.234\t0.00\t3600\r\n7\t2026-01-01 01:00:01\t5.10\t14.999\t42.914\t34.999\t0.000\t0.00\t3600\r\nend')
check "table" "$expected_table" "$(cat dump_extracted.txt; printf end)"

# Empty input: header only, "No data found", status 0.
: > empty.bin
out=$("$VANDREL" empty.bin; echo "status=$?")
check "empty" "$(printf '\nvandrel v2\nProcessing empty.bin\nNo data found\nstatus=0')" "$out"
check "empty table" "$(printf 'ID\tdt\tPressure\tTemperature\tConductivity\tSalinity\tFluoro\tLight\tmV\r\nend')" "$(cat empty_extracted.txt; printf end)"

# Inputs that cannot be opened: no output file at all.
mkdir adir.d
for name in missing.bin adir.d; do
    out=$("$VANDREL" "$name"; echo "status=$?")
    check "unopenable $name" "$(printf '\nvandrel v2\nProcessing %s\nNo data found\nstatus=0' "$name")" "$out"
done
check "no output for missing" "no" "$([ -e missing_extracted.txt ] && echo yes || echo no)"
check "no output for directory" "no" "$([ -e adir_extracted.txt ] && echo yes || echo no)"

# A missing start marker is reported on the processing line.
{ printf '\000\000\000\0078\000\000\016\020\000\000\001\356'; head -c 115 /dev/zero; worked_packet; } > marker.bin
out=$("$VANDREL" marker.bin; echo "status=$?")
check "marker" "$(printf '\nvandrel v2\nProcessing marker.binError: TDRCODE b[3] =ee\n\nCompleted: Wrote 2 samples to marker_extracted.txt\nstatus=0')" "$out"

if [ -e /dev/full ] && [ -r /proc/self/mem ]; then
    # An output directory we cannot write to: the name lands in /proc.
    out=$("$VANDREL" /proc/self/status; echo "status=$?")
    check "unwritable directory" "$(printf '\nvandrel v2\nProcessing /proc/self/status\nNo data found\nstatus=0')" "$out"
    # A full disk is an error, with status 1.
    worked_packet > full.bin
    ln -s /dev/full full_extracted.txt
    out=$("$VANDREL" full.bin; echo "status=$?")
    check "disk full" "$(printf '\nvandrel v2\nProcessing full.bin\nError: cannot write full_extracted.txt\nstatus=1')" "$out"
    # A read error that is not the end of the file.
    ln -s /proc/self/mem mem.bin
    out=$("$VANDREL" mem.bin; echo "status=$?")
    check "read error" "$(printf '\nvandrel v2\nProcessing mem.bin\nError: cannot read mem.bin\nstatus=1')" "$out"
fi

# A generated cast file: the count on the console matches the table, every
# line ends in CR LF, and the machine's time zone changes nothing.
"$GEN" cast.bin --casts 4 --seed 3
out=$(TZ=America/New_York "$VANDREL" cast.bin)
rows=$(printf '%s' "$out" | sed -n 's/^Completed: Wrote \([0-9]*\) samples to cast_extracted.txt$/\1/p')
lines=$(wc -l < cast_extracted.txt)
check "row count" "$((rows + 1))" "$lines"
check "CR LF" "$lines" "$(grep -c "$(printf '\r')\$" cast_extracted.txt)"
mv cast_extracted.txt ny.txt
TZ=Asia/Tokyo "$VANDREL" cast.bin > /dev/null
check "time zone" "same" "$(cmp -s ny.txt cast_extracted.txt && echo same || echo differ)"

finish
