#!/bin/bash
# End-to-end runs of the vandrel-tdr command: command line, exit status,
# console text and the files it leaves behind.
#   tdr_cli_test.sh VANDREL_TDR GEN_TDR_STREAM SAMPLE
set -u
TOOL=$1
GEN=$2
SAMPLE=$3
. "$(dirname "$0")/../check.sh"
dir=$(mktemp -d "${TMPDIR:-/tmp}/vandrel_tdr_cli.XXXXXX")
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
CR=$(printf '\r')

exists() { [ -e "$1" ] && echo yes || echo no; }

# run ARGS...: status in $status, standard output in out.txt, standard error
# in err.txt.
run() {
    "$TOOL" "$@" > out.txt 2> err.txt
    status=$?
}

# The worked stream: 0xFB, regime 1, 2019-07-01 12:00:00.00, interval 1 s,
# depth 100 (10.0 m) and temperature 5863 (20.00 C), two samples of
# depth +5, then 0xFF. Twenty bytes.
worked_stream() {
    printf '\373\001\167\007\001\014\000\000\000\000\144\000\144\026\347\005\000\005\000\377'
}
worked_table=$(printf 'DATE (UTC)\tDEPTH (m)\tTEMP (C)\r\n2019/07/01 12:00:00\t10.0\t20.00\r\n2019/07/01 12:00:01\t10.5\t20.00\r\n2019/07/01 12:00:02\t11.0\t20.00\r\nend')

# --- Bad command lines: status 2, the usage on standard error, nothing on
# standard output, no file made.
worked_stream > w.dat
for args in "" "--bogus w.dat" "-q w.dat" "w.dat w.dat" "--output" "w.dat --output" "--skip" \
    "--skip -1 w.dat" "--skip +1 w.dat" "--skip 1x w.dat" "--skip 0x10 w.dat" "--skip 2147483648 w.dat" \
    "--skip 99999999999999999999 w.dat" "--debug-dump-path" "--quiet" "--output= w.dat"; do
    # shellcheck disable=SC2086
    run $args
    check "usage status: '$args'" "2" "$status"
    check "usage text: '$args'" "yes" "$(grep -q '^usage: vandrel-tdr ' err.txt && echo yes || echo no)"
    check "usage stdout: '$args'" "" "$(cat out.txt)"
done
run --skip "" w.dat
check "empty skip" "2" "$status"
run --output "" w.dat
check "empty output" "2" "$status"
check "nothing made by usage errors" "w.dat" "$(ls | grep -v -e '^out.txt$' -e '^err.txt$' | tr '\n' ' ' | sed 's/ $//')"

run --help
check "help status" "0" "$status"
check "help on stdout" "yes" "$(grep -q '^usage: vandrel-tdr ' out.txt && echo yes || echo no)"
check "help stderr" "" "$(cat err.txt)"
check "help documents summary" "yes" "$(grep -q 'tdr=ROWS ctd=ROWS gps=FIXES acc=ROWS end_offset=BYTES' out.txt && echo yes || echo no)"

# --- The worked stream, byte for byte, with the summary line. Only the TDR
# data file is made: the stream has no other blocks.
run w.dat
check "worked status" "0" "$status"
check "worked summary" "tdr=3 ctd=0 gps=0 acc=0 end_offset=20" "$(cat out.txt)"
check "worked stderr" "" "$(cat err.txt)"
check "worked table" "$worked_table" "$(cat w_tdr.txt; printf end)"
check "no ctd/gps/acc file" "no no no" "$(exists w_ctd.txt) $(exists w_gps.txt) $(exists w_acc.txt)"

# --skip at the limit of the start offset: nothing to read there.
run --skip 2147483647 w.dat
check "skip limit" "0 tdr=0 ctd=0 gps=0 acc=0 end_offset=2147483647" "$status $(cat out.txt)"

# --- Default names: the rules of the packet tool with an empty suffix.
mkdir names
for pair in "tag12_compressed.dat:tag12" "tag12_debug.txt:tag12" "dump.bin:dump" "a.b.c:a.b" \
    "plain:plain" "x_compressed.dat.old:x" "-:-"; do
    name=${pair%%:*}
    prefix=${pair#*:}
    worked_stream > "names/$name"
    (cd names && "$TOOL" -- "$name" > /dev/null 2>&1)
    check "default name $name" "yes" "$(exists "names/${prefix}_tdr.txt")"
done
mkdir outdir
run --output outdir/run7 w.dat
check "--output prefix" "yes yes" "$(exists outdir/run7_tdr.txt) $(cmp -s outdir/run7_tdr.txt w_tdr.txt && echo yes)"

# An output that is the input itself is refused before anything is written.
cp w.dat keep_tdr.txt
run --output keep keep_tdr.txt
check "output = input refused" "2" "$status"
check "input untouched" "same" "$(cmp -s keep_tdr.txt w.dat && echo same)"

# --- The sample stream: structure of every file, the summary line against
# the files, and the committed sample against the generator.
cp "$SAMPLE" tag12_compressed.dat
run tag12_compressed.dat
check "sample status" "0" "$status"
check "sample stderr" "" "$(cat err.txt)"
check "sample made" "yes yes yes yes" \
    "$(exists tag12_tdr.txt) $(exists tag12_ctd.txt) $(exists tag12_gps.txt) $(exists tag12_acc.txt)"
summary=$(cat out.txt)
for f in tag12_tdr.txt tag12_ctd.txt tag12_gps.txt tag12_acc.txt; do
    check "CR LF in $f" "$(wc -l < "$f")" "$(grep -c "$CR\$" "$f")"
    check "no bare CR in $f" "0" "$(tr -d '\n' < "$f" | tr -cd '\r' | wc -c | awk -v n="$(wc -l < "$f")" '{print $1 - n}')"
done
tdr_rows=$(grep -vc -e '^DATE' -e '^HAULOUT: ' tag12_tdr.txt)
ctd_rows=$(($(wc -l < tag12_ctd.txt) - 1))
gps_rows=$(wc -l < tag12_gps.txt)
acc_rows=$(($(wc -l < tag12_acc.txt) - 1))
size=$(wc -c < tag12_compressed.dat)
check "sample summary" "tdr=$tdr_rows ctd=$ctd_rows gps=$gps_rows acc=$acc_rows end_offset=$size" "$summary"
check "tdr header" "DATE (UTC)	DEPTH (m)	TEMP (C)$CR" "$(head -n 1 tag12_tdr.txt)"
check "ctd header" "DATE (UTC)	PRESSURE (dbar)	TEMP (C)	COND (mS/cm)	SAL_LAGGED (PSU)	Fluoro(V)	TIME_VALID$CR" \
    "$(head -n 1 tag12_ctd.txt)"
check "acc header" "DATE (UTC)	X	Y	Z$CR" "$(head -n 1 tag12_acc.txt)"
check "haul-outs" "yes" "$([ "$(grep -c '^HAULOUT: ' tag12_tdr.txt)" -ge 1 ] && echo yes)"
# Dives give rows with depth and temperature, haul-outs rows of 0.0 m.
check "tdr row shape" "0" "$(tr -d '\r' < tag12_tdr.txt | sed 1d | grep -v '^HAULOUT: ' |
    grep -cv '^20[0-9][0-9]/[01][0-9]/[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]	[0-9]*\.[0-9]	-\{0,1\}[0-9]*\.[0-9][0-9]$')"
check "ctd row shape" "0" "$(tr -d '\r' < tag12_ctd.txt | sed 1d | awk -F'\t' 'NF != 7 || ($7 != "Y" && $7 != "N")' | wc -l)"
check "acc row shape" "0" "$(tr -d '\r' < tag12_acc.txt | sed 1d |
    grep -cv '^20[0-9/]* [0-9:]*\.[0-9][0-9][0-9]	-\{0,1\}[0-9]*\.[0-9]\{4\}	-\{0,1\}[0-9]*\.[0-9]\{4\}	-\{0,1\}[0-9]*\.[0-9]\{4\}$')"
check "gps row shape" "0" "$(tr -d '\r' < tag12_gps.txt | grep -cv '^20[0-9/]* [0-9:]* [0-9]* 3 0\( [0-9]* [0-9a-f]\{4\}\)*$')"
"$GEN" regenerated.dat
check "sample is the generator's" "same" "$(cmp -s regenerated.dat tag12_compressed.dat && echo same)"

# A longer stream of several bouts and haul-outs decodes cleanly to its end.
"$GEN" long_compressed.dat --bytes 300000 --seed 5
run --quiet long_compressed.dat
check "long stream" "0 end_offset=$(wc -c < long_compressed.dat)" "$status $(sed 's/.* end_offset/end_offset/' out.txt)"
check "long stream stderr" "" "$(cat err.txt)"
check "long stream haul-outs" "yes" "$([ "$(grep -c '^HAULOUT: ' long_tdr.txt)" -ge 2 ] && echo yes)"

# The same files whatever the machine's time zone, for the decoder and the
# generator alike.
mkdir tz
for zone in UTC America/New_York Asia/Tokyo; do
    TZ=$zone "$TOOL" --output "tz/${zone#*/}" tag12_compressed.dat > "tz/${zone#*/}.out"
    TZ=$zone "$GEN" "tz/${zone#*/}.dat"
done
for kind in _tdr.txt _ctd.txt _gps.txt _acc.txt .out .dat; do
    check "time zone $kind" "same same" \
        "$(cmp -s "tz/UTC$kind" "tz/New_York$kind" && echo same) $(cmp -s "tz/UTC$kind" "tz/Tokyo$kind" && echo same)"
done
check "time zone vs default" "same" "$(cmp -s tz/UTC_tdr.txt tag12_tdr.txt && echo same)"

# --- --skip: junk in front of the sample, with a GPS code in it, is passed
# over exactly when skipped.
{ printf 'junk \362\001\002 junk'; cat tag12_compressed.dat; } > skip_compressed.dat
run --skip 13 skip_compressed.dat
check "skip status" "0" "$status"
check "skip summary" "${summary%end_offset=*}end_offset=$((size + 13))" "$(cat out.txt)"
for kind in tdr ctd gps acc; do
    check "skip $kind" "same" "$(cmp -s "skip_$kind.txt" "tag12_$kind.txt" && echo same)"
done
run --quiet skip_compressed.dat
check "junk decoded without skip" "differ" "$(cmp -s skip_gps.txt tag12_gps.txt && echo same || echo differ)"

# --- The debug dump: at the given path, the same data files as without it,
# and the summary as the last line of standard output.
run --skip 13 --debug-dump-path dump.txt skip_compressed.dat
check "dump status" "0" "$status"
check "dump summary" "${summary%end_offset=*}end_offset=$((size + 13))" "$(tail -n 1 out.txt)"
check "dump first line" "Skipping 13 bytes$CR" "$(head -n 1 dump.txt)"
check "dump first code" "       D: F6 info:" "$(sed -n 3p dump.txt | cut -c1-18)"
check "dump wet start" "yes" "$(grep -q '^ *[0-9A-F]*: FB wet start: Type=1 Time=20' dump.txt && echo yes)"
check "dump end" "$(printf '%8X: END OF FILE' $((size + 13)))$CR" "$(tail -n 1 dump.txt)"
for kind in tdr ctd gps acc; do
    check "dump leaves $kind alone" "same" "$(cmp -s "skip_$kind.txt" "tag12_$kind.txt" && echo same)"
done
# --debug-dump alone: the fixed file in the temporary directory.
# (On Windows c:\temp, which a runner under Wine names in
# VANDREL_FIXED_DUMP_DIR.)
mkdir tmp
fixed_dump_dir=${VANDREL_FIXED_DUMP_DIR:-$dir/tmp}
rm -f "$fixed_dump_dir/vandrel_debug.txt"
TMPDIR=$dir/tmp "$TOOL" --debug-dump w.dat > out.txt 2> err.txt
check "default dump path" "0 yes" "$? $(exists "$fixed_dump_dir/vandrel_debug.txt")"
check "default dump summary" "tdr=3 ctd=0 gps=0 acc=0 end_offset=20" "$(tail -n 1 out.txt)"
# A dump that cannot be made changes nothing else.
run --debug-dump-path no/such/dir/dump.txt w.dat
check "dump not made" "0 tdr=3 ctd=0 gps=0 acc=0 end_offset=20" "$status $(tail -n 1 out.txt)"
check "table without dump" "$worked_table" "$(cat w_tdr.txt; printf end)"

# --- Failures: status 1 and the decoder's message on standard error.
run missing.dat
check "missing status" "1" "$status"
check "missing message" "vandrel-tdr: Can't open TDR data file missing.dat" "$(cat err.txt)"
check "missing summary" "tdr=0 ctd=0 gps=0 acc=0 end_offset=0" "$(cat out.txt)"
check "missing makes nothing" "no" "$(exists missing_tdr.txt)"
run names
check "directory input" "1" "$status"
run --output no/such/dir/x w.dat
check "unwritable status" "1" "$status"
check "unwritable message" "vandrel-tdr: Can't create TDR data file no/such/dir/x_tdr.txt" "$(cat err.txt)"
if [ -e /dev/full ]; then
    ln -s /dev/full full_tdr.txt
    cp w.dat full.dat
    run full.dat
    check "disk full status" "1" "$status"
    check "disk full names file" "yes" "$(grep -q 'full_tdr.txt' err.txt && echo yes)"
    "$TOOL" w.dat > /dev/full 2> err.txt
    check "summary lost" "1 yes" "$? $(grep -q 'standard output' err.txt && echo yes)"
fi
# An unknown code where the byte after an (empty) info block should be one.
printf '\366\000\363' > unknown.dat
run unknown.dat
check "unknown code" "1 vandrel-tdr: Unknown code f3 at byte 3" "$status $(cat err.txt)"

# --- Accelerometer blocks after a wet start: 998 samples are written in
# full; the 999th ends the run with status 1 and "ACC OVERFLOW" in the TDR
# data file, without rows of that block.
acc_block() {  # relative samples after the absolute one
    worked_stream | head -c 15
    printf '\370\020\000\020\000\021\000'
    head -c $(($1 * 3)) /dev/zero
    printf '\371\000\377'
}
acc_block 997 > acc998.dat
run acc998.dat
check "998 samples" "0 tdr=1 ctd=0 gps=0 acc=998" "$status $(cut -d' ' -f1-4 out.txt)"
check "998 rows" "999" "$(wc -l < acc998_acc.txt)"
acc_block 998 > acc999.dat
run acc999.dat
check "overflow status" "1" "$status"
check "overflow told" "yes" "$(grep -q '^vandrel-tdr: .*998 samples' err.txt && echo yes)"
check "overflow line" "ACC OVERFLOW$CR" "$(tail -n 1 acc999_tdr.txt)"
check "overflow no rows" "1" "$(wc -l < acc999_acc.txt)"

# --- The progress bar: on a terminal only, and never with --quiet.
# (Not under Wine, whose console repaints a terminal with sequences of its
# own: VANDREL_NO_TERMINAL_TESTS.)
if [ -z "${VANDREL_NO_TERMINAL_TESTS:-}" ] && command -v script > /dev/null 2>&1; then
    script -qec "'$TOOL' --output tty tag12_compressed.dat" /dev/null > tty.txt 2>&1
    check "bar on a terminal" "yes" "$(grep -q '%  [0-9]* rows' tty.txt && echo yes)"
    check "bar cleared" "yes" "$(tr '\r' '\n' < tty.txt | grep -q '^ *$' && echo yes)"
    script -qec "'$TOOL' --quiet --output tty tag12_compressed.dat" /dev/null > tty.txt 2>&1
    check "no bar with --quiet" "no" "$(grep -q 'rows' tty.txt && echo yes || echo no)"
fi

finish
