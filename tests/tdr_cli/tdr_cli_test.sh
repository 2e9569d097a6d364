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

# --- Bad command lines: status 2, one line and a hint on standard error, no
# file.
worked_stream > w.dat
for args in "" "--bogus w.dat" "-q w.dat" "w.dat w.dat" "--output" "w.dat --output" "--skip" \
    "--skip -1 w.dat" "--skip +1 w.dat" "--skip 1x w.dat" "--skip 0x10 w.dat" "--skip 2147483648 w.dat" \
    "--skip 99999999999999999999 w.dat" "--debug-dump-path" "--quiet" "--output= w.dat" "--skip '' w.dat" \
    "--output '' w.dat" "--quiet=1 w.dat" "--skip=x w.dat" "--batch --output o w.dat" "--jobs 2 w.dat" \
    "--batch --jobs 0 w.dat" "--threads 0 w.dat" "--threads 65 w.dat" "--threads= w.dat" "--threads x w.dat"; do
    eval "tool $args"
    check "usage: $args" "2 2 yes " "$status $(wc -l < err.txt) $(has "^Try 'vandrel-tdr --help'" err.txt) $(cat out.txt)"
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
a = \300\257|meta.txt:1: the value of a is not UTF-8 text
a = \364\220\200\200|meta.txt:1: the value of a is not UTF-8 text
= 1|meta.txt:1: "" is not a netCDF attribute name
END
tool --netcdf --metadata missing.txt w.dat
check "metadata: missing" "2 yes" "$status $(has -F "vandrel-tdr: --metadata cannot open missing.txt" err.txt)"
rm meta.txt

tool --help
check "help" "0 yes yes " "$status $(has '^usage: vandrel-tdr ' out.txt) \
$(has 'tdr=ROWS ctd=ROWS gps=FIXES acc=ROWS end_offset=BYTES' out.txt) $(cat err.txt)"
tool --version
check "version" "0 yes yes yes" "$status $(has '^vandrel-tdr [0-9]' out.txt) $(has '^netCDF-C [0-9]' out.txt) \
$(has '^uPlot [0-9]' out.txt)"

# --- The worked stream, byte for byte, with the summary line; only the TDR
# data file is made.
tool w.dat
check "worked" "0 $worked_summary " "$status $(cat out.txt) $(cat err.txt)"
check "worked table" "$worked_table" "$(cat w_tdr.txt; printf end)"
check "no ctd/gps/acc file" "no no no" "$(exists w_ctd.txt) $(exists w_gps.txt) $(exists w_acc.txt)"
# The thread count changes nothing written.
for n in 1 2 64; do
    tool --threads=$n w.dat
    check "threads $n" "0 $worked_summary $worked_table" "$status $(cat out.txt) $(cat w_tdr.txt; printf end)"
done
tool --skip 2147483647 w.dat
check "skip limit" "0 tdr=0 ctd=0 gps=0 acc=0 end_offset=2147483647" "$status $(cat out.txt)"

# --- Default names: the rules of the packet tool with an empty suffix (the
# sample below is one); "-" after "--" is a file name.
mkdir names outdir
worked_stream > names/-
(cd names && "$TOOL" -- - > /dev/null 2>&1)
check "default name -" "yes" "$(exists names/-_tdr.txt)"
# Only the file name counts: a '.' in a folder above it does not.
mkdir dep.2024 && worked_stream > dep.2024/tag
(cd names && "$TOOL" ../dep.2024/tag > /dev/null 2>&1)
check "default name in a dotted folder" "yes no" "$(exists dep.2024/tag_tdr.txt) $(exists dep_tdr.txt)"
tool --output=outdir/run7 w.dat
check "--output prefix" "same" "$(same outdir/run7_tdr.txt w_tdr.txt)"
for opt in --output-dir=new/dir --output=new/dir2/; do
    tool "$opt" ./names/../w.dat
    check "$opt" "same" "$(same "${opt#*=}/w_tdr.txt" w_tdr.txt)"
done
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
# The dump is renamed into place: a link planted at its path is replaced, not
# followed; a dump that cannot be made fails the run.
ln -s planted_target link.txt
tool --debug-dump-path link.txt w.dat
check "planted link" "0 no yes" "$status $(exists planted_target) $(has 'END OF FILE' link.txt)"
tool --debug-dump-path no/dir/d.txt w.dat
check "dump not made" "1 yes" "$status $(has "Can't create debug dump file no/dir/d.txt" err.txt)"
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
# Decoding that stops before the end of the file says where and why, in the
# report too: the end code followed by data warns, an unknown regime fails;
# erased flash after the end code is the normal end.
{ worked_stream; printf 'data'; } > e.dat
{ worked_stream; printf '\377\377'; } > f.dat
{ printf '\373\000\167\007\001\014\000\000\000\000\144'; worked_stream; } > u.dat
for row in "e|0|warning: decoding stopped at byte 20 of 24, at the end code 0xFF|warning: decoding" \
    "f|0||decoded without error" "u|1|decoding stopped at byte 11 of 31, at a run of unknown TDR regime 0|error: decoding"; do
    IFS='|' read -r name want msg outcome <<< "$row"
    tool --report "$name.dat"
    check "stop $name" "$want $msg yes" "$status $(sed -n 's/^vandrel-tdr: //p' err.txt | head -c ${#msg}) \
$(has "$outcome" "${name}_report.html")"
done
# --netcdf on a pipe is refused before any output is touched (not under
# Wine, where /dev/stdin names no file); outputs of an earlier run that this
# one did not write are named, and kept.
if [ -z "${VANDREL_NO_TERMINAL_TESTS:-}" ]; then
    echo earlier > p_tdr.txt
    worked_stream | "$TOOL" --netcdf --output p /dev/stdin > out.txt 2> err.txt
    check "pipe refused" "1 yes earlier" "$? $(has 'cannot be read twice' err.txt) $(cat p_tdr.txt)"
fi
echo earlier > w_ctd.txt
tool w.dat
check "earlier outputs" "0 vandrel-tdr: warning: w_ctd.txt is from an earlier run; this run did not write it" \
    "$status $(cat err.txt)"
# --- Batch mode: good, cut, empty, failing and missing inputs, one line each
# and the counts; the outputs and summary the same with parallel runs, the
# tables those of a single run.
mkdir batch && cp w.dat batch/a.dat && head -c 15 w.dat > batch/b.dat && : > batch/c.dat && cp u.dat batch/d.dat
for jobs in 1 3; do
    tool --batch --jobs=$jobs --output-dir "o$jobs" --summary "s$jobs.csv" batch nothere.dat
    check "batch, $jobs jobs" "1 batch/a.dat: ok|batch/b.dat: ok|batch/c.dat: ok|\
batch/d.dat: failed: decoding stopped at byte 11 of 31, at a run of unknown TDR regime 0 (\"Illegal stream \
contents (0)\"); the rest was not decoded|nothere.dat: failed: cannot be opened|\
vandrel-tdr: 5 inputs: 3 ok, 2 failed|" "$status $(tr '\n' '|' < err.txt)"
done
check "batch outputs" "same same same" "$(same o1/a_tdr.txt w_tdr.txt) $(sed 's/o1/o3/g' s1.csv | same - s3.csv) \
$(diff -r o1 o3 > /dev/null && echo same)"
check "batch summary" "input,size,status,reason,tdr_rows,ctd_rows,gps_fixes,acc_rows,dives,end_offset,\
bytes_not_decoded,warnings,outputs$CR|batch/a.dat,20,ok,,3,0,0,0,,20,0,,o1/a_tdr.txt$CR|\
nothere.dat,0,failed,cannot be opened,,,,,,,,,$CR|" "$(sed -n '1p;2p;6p' s1.csv | tr '\n' '|')"
tool --batch --output-dir x w.dat names/../w.dat
check "batch name clash" "2 no vandrel-tdr: w.dat and names/../w.dat would both write x/w_tdr.txt; nothing was run" \
    "$status $(exists x) $(cat err.txt)"
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

# --- Ctrl-C, sent once the run reading a pipe has written part of its TDR
# table: every table ends with a whole row, the unfinished outputs are gone
# with their temporary files, the status is 130. (Job control, so that the
# run in the background is not made to ignore SIGINT. VANDREL_INTERRUPT_THREADS
# sets --threads for a runner whose emulator cannot deliver a signal to a
# program running threads.)
if [ -z "${VANDREL_NO_TERMINAL_TESTS:-}" ] && mkfifo int.fifo 2> /dev/null; then
    "$GEN" big.dat --bytes 3000000 --seed 5
    set -m
    "$TOOL" ${VANDREL_INTERRUPT_THREADS:+--threads "$VANDREL_INTERRUPT_THREADS"} --dives --report --output int int.fifo \
        > out.txt 2> err.txt &
    pid=$!
    set +m
    exec 3<> int.fifo  # (read-write: never waits for the reader)
    head -c 2000000 big.dat >&3 &
    writer=$!
    for _ in $(seq 600); do [ -s int_tdr.txt ] && break; sleep 0.1; done
    kill -INT "$pid"
    kill "$writer" 2> /dev/null
    exec 3>&-
    wait "$pid"
    check "interrupted" "130 yes no no 0 CRLF CRLF CRLF CRLF" "$? $(has '^vandrel-tdr: interrupted at byte [0-9]' err.txt) \
$(exists int_dives.txt) $(exists int_report.html) $(find . -name '*.part' | wc -l)\
$(for f in int_tdr.txt int_ctd.txt int_gps.txt int_acc.txt; do tail -c 2 "$f" | od -An -c | tr -d ' \n' | sed 's/\\r\\n/ CRLF/'; done)"
fi

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
