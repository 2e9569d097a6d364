#!/bin/bash
# Cost of the further outputs: both commands on generated inputs, the text
# tables alone and then with --netcdf, --dives or --report, in processor
# seconds in one thread (user + system, the least of three runs: the file system's
# write-back makes single runs vary) and rows per second. The writers' own
# cost is the difference to the text-only run.
#   bench_outputs.sh BUILD_DIR PACKET_FILE TDR_STREAM
set -euo pipefail
build=$1
packets=$2
stream=$3
out=$(mktemp -d "${TMPDIR:-/tmp}/vandrel_bench.XXXXXX")
trap 'rm -rf "$out"' EXIT
TIMEFORMAT='%U %S'

cpu() {  # command...: prints the processor seconds it took, the least of three runs
    local t best=""
    for _ in 1 2 3; do
        t=$( { time "$@" >/dev/null 2>&1; } 2>&1 )
        best=$(awk -v t="$t" -v b="$best" 'BEGIN { split(t, a, " "); s = a[1] + a[2]
            if (b == "" || s < b) b = s; printf "%.2f", b }')
    done
    echo "$best"
}

line() {  # label, seconds, rows, seconds of the text-only run
    awk -v l="$1" -v s="$2" -v r="$3" -v b="$4" 'BEGIN {
        extra = s - b
        printf "%-34s %7.2f s %10.2f M rows/s", l, s, r / s / 1e6
        if (b > 0 && extra > 0) printf "   writer alone %7.2f M rows/s", r / extra / 1e6
        printf "\n" }'
}

# A track over every time the generators give: each sample of a trajectory
# gets its own interpolated position.
printf 'time,lat,lon\n1970-01-01T00:00:00Z,-45,170\n2100-01-01T00:00:00Z,-60,-170\n' > "$out/track.csv"

cp "$packets" "$out/p.bin"
base=$(cpu "$build/vandrel" --threads 1 "$out/p.bin")
rows=$(($(wc -l < "$out/p_extracted.txt") - 1))
echo "== vandrel on $(basename "$packets"), $rows rows (one core)"
line "text table" "$base" "$rows" 0
line "text table + --netcdf" "$(cpu "$build/vandrel" --threads 1 --netcdf "$out/p.bin")" "$rows" "$base"
line "text table + --netcdf --track" "$(cpu "$build/vandrel" --threads 1 --netcdf --track "$out/track.csv" "$out/p.bin")" \
    "$rows" "$base"
line "text table + --report" "$(cpu "$build/vandrel" --threads 1 --report "$out/p.bin")" "$rows" "$base"

base=$(cpu "$build/vandrel-tdr" --threads 1 --quiet --output "$out/t" "$stream")
rows=0
for f in "$out"/t_tdr.txt "$out"/t_ctd.txt "$out"/t_acc.txt; do
    [ -f "$f" ] && rows=$((rows + $(wc -l < "$f") - 1))
done
echo "== vandrel-tdr on $(basename "$stream"), $rows rows in the TDR, CTD and ACC tables (one core)"
line "text tables" "$base" "$rows" 0
line "text tables + --netcdf" "$(cpu "$build/vandrel-tdr" --threads 1 --quiet --netcdf --output "$out/t" "$stream")" "$rows" "$base"
line "text tables + --netcdf --track" \
    "$(cpu "$build/vandrel-tdr" --threads 1 --quiet --netcdf --track "$out/track.csv" --output "$out/t" "$stream")" "$rows" "$base"
line "text tables + --dives" "$(cpu "$build/vandrel-tdr" --threads 1 --quiet --dives --output "$out/t" "$stream")" "$rows" "$base"
line "text tables + --report" "$(cpu "$build/vandrel-tdr" --threads 1 --quiet --report --output "$out/t" "$stream")" "$rows" "$base"
