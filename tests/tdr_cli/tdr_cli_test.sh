#!/bin/bash
# End-to-end runs of the vandrel-tdr command: command line, exit status,
# console text and the files it leaves behind.
#   tdr_cli_test.sh VANDREL_TDR GEN_TDR_STREAM SAMPLE
set -u
TOOL=$1
GEN=$2
SAMPLE=$3
# shellcheck source=/dev/null
. "$(dirname "$0")/../check.sh"
status=0
tool() { run "$TOOL" "$@"; }  # status in $status, output in out.txt and err.txt

# The worked stream: 0xFB, regime 1, 2019-07-01 12:00:00.00, interval 1 s,
# depth 100 (10.0 m) and temperature 5863 (20.00 C), two samples of
# depth +5, then 0xFF. Twenty bytes.
worked_stream() {
    printf '\373\001\167\007\001\014\000\000\000\000\144\000\144\026\347\005\000\005\000\377'
}
worked_table="DATE (UTC)	DEPTH (m)	TEMP (C)$CR
2019/07/01 12:00:00	10.0	20.00$CR
2019/07/01 12:00:01	10.5	20.00$CR
2019/07/01 12:00:02	11.0	20.00$CR
end"
worked_summary="tdr=3 ctd=0 gps=0 acc=0 end_offset=20"

# --- Bad command lines: status 2, the usage on standard error only, no file.
worked_stream > w.dat
for args in "" "--bogus w.dat" "-q w.dat" "w.dat w.dat" "--output" "w.dat --output" "--skip" \
    "--skip -1 w.dat" "--skip +1 w.dat" "--skip 1x w.dat" "--skip 0x10 w.dat" "--skip 2147483648 w.dat" \
    "--skip 99999999999999999999 w.dat" "--debug-dump-path" "--quiet" "--output= w.dat" "--skip '' w.dat" \
    "--output '' w.dat"; do
    eval "tool $args"
    check "usage: $args" "2 yes " "$status $(has '^usage: vandrel-tdr ' err.txt) $(cat out.txt)"
done
check "nothing made by usage errors" "err.txt out.txt w.dat" "$(echo *)"

# A metadata file that cannot be used is a usage error naming the file, the
# line and the reason.
while IFS='|' read -r text error; do
    printf "$text" > meta.txt
    tool --netcdf --metadata meta.txt w.dat
    check "metadata: $error" "2 yes" "$status $(has -F "vandrel-tdr: --metadata $error" err.txt)"
done <<'END'
# deployment\n\ntitle|meta.txt:3: expected NAME = VALUE
_x = 1|meta.txt:1: "_x" is not a netCDF attribute name
a = 1\nfeatureType = point|meta.txt:2: featureType is set by the program from the data
a = 1\na = 2|meta.txt:2: a is given twice
a =  |meta.txt:1: a has no value
a = caf\351|meta.txt:1: the value of a is not UTF-8 text
= 1|meta.txt:1: "" is not a netCDF attribute name
END
tool --netcdf --metadata missing.txt w.dat
check "metadata: missing" "2 yes" "$status $(has -F "vandrel-tdr: --metadata cannot open missing.txt" err.txt)"
rm meta.txt

tool --help
check "help" "0 yes yes " "$status $(has '^usage: vandrel-tdr ' out.txt) \
$(has 'tdr=ROWS ctd=ROWS gps=FIXES acc=ROWS end_offset=BYTES' out.txt) $(cat err.txt)"

# --- The worked stream, byte for byte, with the summary line; only the TDR
# data file is made.
tool w.dat
check "worked" "0 $worked_summary " "$status $(cat out.txt) $(cat err.txt)"
check "worked table" "$worked_table" "$(cat w_tdr.txt; printf end)"
check "no ctd/gps/acc file" "no no no" "$(exists w_ctd.txt) $(exists w_gps.txt) $(exists w_acc.txt)"
tool --skip 2147483647 w.dat
check "skip limit" "0 tdr=0 ctd=0 gps=0 acc=0 end_offset=2147483647" "$status $(cat out.txt)"

# --- Default names: the rules of the packet tool with an empty suffix (the
# sample below is one); "-" after "--" is a file name.
mkdir names outdir
worked_stream > names/-
(cd names && "$TOOL" -- - > /dev/null 2>&1)
check "default name -" "yes" "$(exists names/-_tdr.txt)"
tool --output outdir/run7 w.dat
check "--output prefix" "same" "$(same outdir/run7_tdr.txt w_tdr.txt)"
# An output that is the input itself is refused before anything is written.
cp w.dat keep_tdr.txt
tool --output keep keep_tdr.txt
check "output = input refused" "2 same" "$status $(same keep_tdr.txt w.dat)"

# --- The sample stream: structure of every file, the summary line against
# the files, and the committed sample against the generator.
cp "$SAMPLE" tag12_compressed.dat
tool tag12_compressed.dat
check "sample" "0 yes yes yes yes " "$status $(exists tag12_tdr.txt) $(exists tag12_ctd.txt) \
$(exists tag12_gps.txt) $(exists tag12_acc.txt) $(cat err.txt)"
summary=$(cat out.txt)
size=$(wc -c < tag12_compressed.dat)
check "sample summary" "tdr=$(grep -vc -e '^DATE' -e '^HAULOUT: ' tag12_tdr.txt) ctd=$(($(wc -l < tag12_ctd.txt) - 1)) \
gps=$(wc -l < tag12_gps.txt) acc=$(($(wc -l < tag12_acc.txt) - 1)) end_offset=$size" "$summary"
"$GEN" regenerated.dat
check "sample is the generator's" "same" "$(same regenerated.dat tag12_compressed.dat)"

# A longer stream of several bouts and haul-outs decodes cleanly to its end.
"$GEN" long_compressed.dat --bytes 300000 --seed 5
tool --quiet long_compressed.dat
check "long stream" "0 end_offset=$(wc -c < long_compressed.dat) yes" \
    "$status $(sed 's/.* end_offset/end_offset/' out.txt)$(cat err.txt) $([ "$(grep -c '^HAULOUT: ' long_tdr.txt)" -ge 2 ] && echo yes)"

# The same files whatever the machine's time zone, for the decoder and the
# generator alike.
TZ=Asia/Tokyo "$TOOL" --output tz tag12_compressed.dat > tz.out
TZ=Asia/Tokyo "$GEN" tz.dat
check "time zone" "$summary same same same same same" "$(cat tz.out) $(same tz.dat tag12_compressed.dat)\
$(for kind in tdr ctd gps acc; do printf ' %s' "$(same "tz_$kind.txt" "tag12_$kind.txt")"; done)"

# --- --skip: junk in front of the sample, with a GPS code in it, is passed
# over exactly when skipped.
{ printf 'junk \362\001\002 junk'; cat tag12_compressed.dat; } > skip_compressed.dat
same_as_sample() { for kind in tdr ctd gps acc; do same "skip_$kind.txt" "tag12_$kind.txt"; done | tr '\n' ' '; }
tool --skip 13 skip_compressed.dat
check "skip" "0 ${summary%end_offset=*}end_offset=$((size + 13)) same same same same " \
    "$status $(cat out.txt) $(same_as_sample)"
tool --skip 13 --debug-dump-path dump.txt skip_compressed.dat
check "dump lines" "Skipping 13 bytes$CR|       D: F6 info:|yes|$(printf '%8X: END OF FILE' $((size + 13)))$CR" \
    "$(head -n 1 dump.txt)|$(sed -n 3p dump.txt | cut -c1-18)|$(has '^ *[0-9A-F]*: FB wet start: Type=1 Time=20' dump.txt)|$(tail -n 1 dump.txt)"
# --debug-dump alone: the fixed file in the temporary directory (on Windows
# c:\temp, which a runner under Wine names in VANDREL_FIXED_DUMP_DIR).
mkdir tmp
fixed_dump_dir=${VANDREL_FIXED_DUMP_DIR:-$dir/tmp}
rm -f "$fixed_dump_dir/vandrel_debug.txt"
TMPDIR=$dir/tmp run "$TOOL" --debug-dump w.dat
check "default dump path" "0 yes $worked_summary" "$status $(exists "$fixed_dump_dir/vandrel_debug.txt") $(tail -n 1 out.txt)"
# --- Failures: status 1 and the decoder's message on standard error.
tool missing.dat
check "missing" "1 tdr=0 ctd=0 gps=0 acc=0 end_offset=0 vandrel-tdr: Can't open TDR data file missing.dat no" \
    "$status $(cat out.txt) $(cat err.txt) $(exists missing_tdr.txt)"
tool names
check "directory input" "1" "$status"
tool --output no/such/dir/x w.dat
check "unwritable" "1 vandrel-tdr: Can't create TDR data file no/such/dir/x_tdr.txt" "$status $(cat err.txt)"
if [ -e /dev/full ]; then
    # Every table that fills the disk is named.
    for t in tdr ctd gps acc; do ln -s /dev/full full_$t.txt; done
    cp "$SAMPLE" full.dat
    tool full.dat
    check "disk full" "1 yes yes yes yes" \
        "$status $(has 'full_tdr.txt' err.txt) $(has 'full_ctd.txt' err.txt) $(has 'full_gps.txt' err.txt) $(has 'full_acc.txt' err.txt)"
    "$TOOL" w.dat > /dev/full 2> err.txt
    check "summary lost" "1 yes" "$? $(has 'standard output' err.txt)"
fi
# --- CTD casts and the "Stop" marker that a relative sample beginning at
# row 14168 prints: the summary line starts a line of its own after it, and
# follows nothing else. cast N: a cast of 1 + N rows at 12:00:00, ended.
cast() {
    printf '\374\001\167\007\001\014\000\000\000\000\144\000\036\000\036\037\100\000\310'
    head -c $(($1 * 3)) /dev/zero
    printf '\375'
}
{ cast 14167; printf '\374\001\167\007\001\014\000\000\000\000\144\000\036\377'; } > no_stop.dat
tool no_stop.dat
check "no stop" "0 tdr=0 ctd=14168 gps=0 acc=0 end_offset=42534" "$status $(cat out.txt)"
{ cast 14168; printf '\377'; } > stop.dat
tool stop.dat
check "stop" "0 Stop
tdr=0 ctd=14169 gps=0 acc=0 end_offset=42525" "$status $(cat out.txt)"
tool --netcdf stop.dat  # the netCDF file's first reading prints nothing
check "stop with --netcdf" "0 Stop
tdr=0 ctd=14169 gps=0 acc=0 end_offset=42525" "$status $(cat out.txt)"

# --- Accelerometer blocks after a wet start: 998 samples are written in
# full; the 999th ends the run with status 1, no summary line, and
# "ACC OVERFLOW" last in the TDR data file, without rows of that block.
acc_block() {  # relative samples after the absolute one
    worked_stream | head -c 15
    printf '\370\020\000\020\000\021\000'
    head -c $(($1 * 3)) /dev/zero
    printf '\371\000\377'
}
acc_block 998 > acc999.dat
tool acc999.dat
check "overflow" "1 yes  ACC OVERFLOW$CR 1" \
    "$status $(has '^vandrel-tdr: .*998 samples' err.txt) $(cat out.txt) $(tail -n 1 acc999_tdr.txt) $(wc -l < acc999_acc.txt)"

# --- The progress bar: on a terminal only, and never with --quiet. (Not
# under Wine, whose console repaints a terminal with sequences of its own:
# VANDREL_NO_TERMINAL_TESTS.)
if [ -z "${VANDREL_NO_TERMINAL_TESTS:-}" ] && command -v script > /dev/null 2>&1; then
    script -qec "'$TOOL' --output tty tag12_compressed.dat" /dev/null > tty.txt 2>&1
    check "bar on a terminal, cleared" "yes yes" "$(has '%  [0-9]* rows' tty.txt) $(tr '\r' '\n' < tty.txt | has '^ *$')"
    script -qec "'$TOOL' --quiet --output tty tag12_compressed.dat" /dev/null > tty.txt 2>&1
    check "no bar with --quiet" "no" "$(has 'rows' tty.txt)"
fi

finish
