#!/bin/sh
# End-to-end runs of the vandrel command: console text, exit status and the
# files it leaves behind.
#   cli_test.sh VANDREL GEN_PACKETS
set -u
VANDREL=$1
GEN=$2
# shellcheck source=/dev/null
. "$(dirname "$0")/check.sh"

# One packet: ID 7, 2026, 3600 s into the year; two samples.
worked_packet() {
    printf '\000\000\000\0078\000\000\016\020'
    printf '\000\000\001\003\016\020\374\005\334\116\040\247\242\004\322\377\377\012\171\000\372\000\000\361\375'
    head -c 94 /dev/zero
}
header='ID	dt	Pressure	Temperature	Conductivity	Salinity	Fluoro	Light	mV'
# console NAME LINE: what a run on NAME shows, ending with LINE.
console() { printf '\nvandrel v2\nProcessing %s\n%s' "$1" "$2"; }
vandrel() { out=$("$VANDREL" "$@"; echo "status=$?"); }

# No file name: banner, usage, status 1.
vandrel
check "usage" "$(printf '\nvandrel v2\n\nUsage: vandrel filename {offset}\nstatus=1')" "$out"

# --help and --version on standard output; a bad option: one line, a hint.
for opt in --help -h --version; do
    "$VANDREL" "$opt" > out.txt 2> err.txt
    check "$opt" "0 yes " "$? $(has -e '^usage: vandrel ' -e '^uPlot [0-9]' out.txt) $(cat err.txt)"
done
"$VANDREL" --netcdf=yes x.bin > out.txt 2> err.txt
check "bad option" "1 vandrel: option --netcdf takes no value|Try 'vandrel --help' for more information.|" \
    "$? $(tr '\n' '|' < err.txt)"
# A value an option cannot take: the same, and no output begun.
while IFS='|' read -r args said; do
    # shellcheck disable=SC2086  # the options are words of their own
    "$VANDREL" $args > out.txt 2> err.txt
    check "bad value: $args" "1 $said|Try 'vandrel --help' for more information.| no" \
        "$? $(tr '\n' '|' < err.txt) $(ls x_* > /dev/null 2>&1 && echo yes || echo no)"
done << 'CASES'
--threads 0 x.bin|vandrel: --threads takes a number of threads from 1 to 64, not '0'
--threads 2x x.bin|vandrel: --threads takes a number of threads from 1 to 64, not '2x'
--threads|vandrel: option --threads needs a value
CASES
"$VANDREL" --report --metadata missing.txt x.bin > out.txt 2> err.txt
check "metadata error" "1 vandrel: --metadata cannot open missing.txt|Try 'vandrel --help' for more information.|" \
    "$? $(tr '\n' '|' < err.txt)"

# A good run; the offset argument and anything after it change nothing.
worked_packet > dump.bin
for extra in "" "1234" "abc def"; do
    # shellcheck disable=SC2086
    vandrel dump.bin $extra
    check "run with '$extra'" "$(console dump.bin 'Completed: Wrote 2 samples to dump_extracted.txt
status=0')" "$out"
done
check "table" "$header$CR
7	2026-01-01 01:00:00	5.00	15.000	42.914	34.998	1.234	0.00	3600$CR
7	2026-01-01 01:00:01	5.10	14.999	42.914	34.999	0.000	0.00	3600$CR
end" "$(cat dump_extracted.txt; printf end)"

# Empty input: header only, "No data found", status 0. Inputs that cannot be
# opened: no table at all.
: > empty.bin
mkdir adir.d
for name in empty.bin missing.bin adir.d; do
    vandrel "$name"
    check "no data: $name" "$(console "$name" 'No data found
status=0')" "$out"
done
check "tables" "$header$CR
end no no" "$(cat empty_extracted.txt; printf end) $(exists missing_extracted.txt) $(exists adir_extracted.txt)"

# Output names come from the file name alone; folders with dots or markers
# in their names keep the outputs.
mkdir -p dep.2024/a_compressed.dat
for row in dep.2024/dump:dep.2024/dump ./dump:./dump dep.2024/a_compressed.dat/t.x.bin:dep.2024/a_compressed.dat/t.x; do
    worked_packet > "${row%%:*}"
    "$VANDREL" "${row%%:*}" > /dev/null
    check "name of ${row%%:*}" "yes" "$(exists "${row#*:}_extracted.txt")"
done

# --netcdf on a pipe is refused (not under Wine, where /dev/stdin names no
# file); outputs of an earlier run that this one did not write are named,
# and kept.
if [ -z "${VANDREL_NO_TERMINAL_TESTS:-}" ]; then
    worked_packet | "$VANDREL" --netcdf /dev/stdin > out.txt 2> err.txt
    check "pipe refused" "1 yes" "$? $(has '^vandrel: --netcdf .*cannot be read twice' err.txt)"
fi
echo earlier > dump_report.html
vandrel dump.bin 2> err.txt
check "earlier outputs" "vandrel: warning: dump_report.html is from an earlier run; this run did not write it" \
    "$(cat err.txt)"

# A batch of good, empty and missing inputs, with and without parallel runs:
# one line each, the counts, the tables of single runs.
for jobs in 1 2; do
    "$VANDREL" --batch --jobs "$jobs" --output-dir "b$jobs" dump.bin empty.bin missing.bin > out.txt 2> err.txt
    check "batch, $jobs jobs" "1 dump.bin: ok|empty.bin: ok, warning: no data found|missing.bin: failed: cannot be \
opened|vandrel: 3 inputs: 2 ok, 1 failed| same" "$? $(tr '\n' '|' < err.txt)$(cat out.txt) $(same "b$jobs/dump_extracted.txt" dump_extracted.txt)"
done

# A missing start marker is reported on the processing line.
{ printf '\000\000\000\0078\000\000\016\020\000\000\001\356'; head -c 115 /dev/zero; worked_packet; } > marker.bin
# The netCDF file's counting reading says nothing of its own.
marker=$(printf '\nvandrel v2\nProcessing marker.binError: TDRCODE b[3] =ee\n\nCompleted: Wrote 2 samples to %s\n%s' \
    marker_extracted.txt status=0)
for opts in "" "--netcdf --quiet" "--netcdf --quiet --threads 1"; do
    # shellcheck disable=SC2086
    vandrel $opts marker.bin 2> /dev/null
    check "marker $opts" "$marker" "$out"
done

if [ -e /dev/full ] && [ -r /proc/self/mem ]; then
    # An output directory we cannot write to: the name lands in /proc.
    vandrel /proc/self/status
    check "unwritable directory" "$(console /proc/self/status 'No data found
status=0')" "$out"
    worked_packet > full.bin
    ln -s /dev/full full_extracted.txt
    vandrel full.bin
    check "disk full" "$(console full.bin 'Error: cannot write full_extracted.txt
status=1')" "$out"
    ln -s /proc/self/mem mem.bin
    vandrel mem.bin
    check "read error" "$(console mem.bin 'Error: cannot read mem.bin
status=1') $header$CR" "$out $(cat mem_extracted.txt)"
fi

# A generated cast file: the count on the console matches the table, every
# line ends in CR LF, and the machine's time zone changes nothing.
"$GEN" cast.bin --casts 4 --seed 3
rows=$(TZ=America/New_York "$VANDREL" cast.bin | sed -n 's/^Completed: Wrote \([0-9]*\) samples to cast_extracted.txt$/\1/p')
lines=$(wc -l < cast_extracted.txt)
check "row count, CR LF" "$((rows + 1)) $lines" "$lines $(grep -c "$CR\$" cast_extracted.txt)"
mv cast_extracted.txt ny.txt
TZ=Asia/Tokyo "$VANDREL" cast.bin > /dev/null
check "time zone" "same" "$(same ny.txt cast_extracted.txt)"

# A progress bar on a terminal only, cleared at the end.
if [ -z "${VANDREL_NO_TERMINAL_TESTS:-}" ] && command -v script > /dev/null 2>&1; then
    script -qec "'$VANDREL' cast.bin" /dev/null > tty.txt 2>&1
    check "bar on a terminal" "yes yes" "$(has '%  [0-9]* rows' tty.txt) $(has 'Completed: Wrote' tty.txt)"
fi

finish
