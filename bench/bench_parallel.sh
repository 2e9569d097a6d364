#!/bin/bash
# Both commands against a reference build (both commands before their
# writers ran in threads), timed in the same run: the wall time of the text
# tables alone and of every output at once, the processor time of one
# thread, and the wall time of dd writing as many bytes as the text tables
# hold. Each figure is the least of three runs: other programs and the file
# system's write-back make single runs vary.
#   bench_parallel.sh BUILD_DIR REFERENCE_BUILD_DIR PACKET_FILE TDR_STREAM
set -euo pipefail
# Absolute paths: the reference runs from the scratch folder.
build=$(cd "$1" && pwd)
ref=$(cd "$2" && pwd)
packets=$3
stream=$4
out=$(mktemp -d "${TMPDIR:-/tmp}/vandrel_bench.XXXXXX")
trap 'rm -rf "$out"' EXIT
TIMEFORMAT='%R %U %S'

# least WALL CPU of three runs of a command, in seconds. Each run starts
# with the outputs of the last removed and the disk's caches written out, so
# that no run pays for the write-back of another's.
least() {
    local t best_wall="" best_cpu=""
    for _ in 1 2 3; do
        rm -rf "$out"/ours "$out"/in_extracted.* "$out"/t_* "$out"/r_* "$out"/dd.bin
        sync
        # A run that fails would time nothing: the bench stops instead.
        if ! t=$( { time "$@" >/dev/null 2>&1; } 2>&1 ); then
            echo "bench_parallel.sh: failed: $*" >&2
            exit 1
        fi
        read -r best_wall best_cpu < <(awk -v t="$t" -v w="$best_wall" -v c="$best_cpu" 'BEGIN {
            split(t, a, " "); s = a[2] + a[3]
            if (w == "" || a[1] < w) w = a[1]
            if (c == "" || s < c) c = s
            printf "%.2f %.2f\n", w, c }')
    done
    echo "$best_wall $best_cpu"
}

ratio() {  # label, ours, theirs, target
    awk -v l="$1" -v a="$2" -v b="$3" -v t="$4" 'BEGIN {
        r = b > 0 ? a / b : 0
        printf "  %-56s %6.2f s / %6.2f s = %5.2f", l, a, b, r
        if (t != "-") printf "  (target at most %s: %s)", t, r <= t ? "met" : "not met"
        printf "\n" }'
}

report() {  # name, ref text, ours text, ours all, ours one-thread, table bytes
    local name=$1 ref_text=$2 text=$3 all=$4 one=$5 bytes=$6 dd
    dd=$(least dd if=/dev/zero of="$out/dd.bin" bs=1048576 count=$(((bytes + 1048575) / 1048576)))
    echo "== $name ($((bytes / 1048576)) MiB of text tables; $(nproc) processors, load $(cut -d' ' -f1-3 /proc/loadavg))"
    ratio "text tables, wall, against the reference's" "${text% *}" "${ref_text% *}" 0.6
    ratio "every output at once, wall, against the reference's text" "${all% *}" "${ref_text% *}" 1.0
    ratio "--threads 1, processor time, against the reference's" "${one#* }" "${ref_text#* }" 1.0
    ratio "text tables, wall, against dd writing as many bytes" "${text% *}" "${dd% *}" "-"
    ratio "the reference's text tables, wall, against dd" "${ref_text% *}" "${dd% *}" "-"
}

cp "$packets" "$out/in.bin"
ref_text=$(cd "$out" && least "$ref/vandrel" in.bin)
text=$(least "$build/vandrel" --quiet --output-dir "$out/ours" "$out/in.bin")
bytes=$(wc -c < "$out/ours/in_extracted.txt")
all=$(least "$build/vandrel" --quiet --netcdf --report --output-dir "$out/ours" "$out/in.bin")
one=$(least "$build/vandrel" --quiet --threads 1 --output-dir "$out/ours" "$out/in.bin")
report "vandrel on $(basename "$packets")" "$ref_text" "$text" "$all" "$one" "$bytes"

ref_text=$(least "$ref/vandrel-tdr" --quiet --output "$out/r" "$stream")
text=$(least "$build/vandrel-tdr" --quiet --output "$out/t" "$stream")
bytes=$(cat "$out"/t_*.txt | wc -c)
all=$(least "$build/vandrel-tdr" --quiet --netcdf --report --dives --output "$out/t" "$stream")
one=$(least "$build/vandrel-tdr" --quiet --threads 1 --output "$out/t" "$stream")
report "vandrel-tdr on $(basename "$stream")" "$ref_text" "$text" "$all" "$one" "$bytes"
