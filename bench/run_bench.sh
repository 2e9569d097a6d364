#!/bin/sh
# Runs the benchmarks on generated inputs.
#   run_bench.sh BUILD_DIR [REFERENCE_BUILD_DIR]
# With a reference build, also both commands against it (bench_parallel.sh).
set -eu
build=$1
ref=${2:-}
data="$build/bench_data"
mkdir -p "$data"
if [ ! -s "$data/packets.bin" ]; then
    "$build/gen_packets" "$data/packets.bin" --bytes 130000000 --seed 11
fi
echo "== packet-file extraction (one core) =="
"$build/bench/bench_extract" "$data/packets.bin" "$data"
cmp "$data/ours.txt" "$data/fprintf.txt" && echo "tables identical"
echo "== TDR stream decoding (one core) =="
"$build/bench/bench_tdr" "$data"
if [ ! -s "$data/stream.dat" ]; then
    "$build/gen_tdr_stream" "$data/stream.dat" --bytes 64000000 --seed 5
fi
"$(dirname "$0")/bench_outputs.sh" "$build" "$data/packets.bin" "$data/stream.dat"
if [ -n "$ref" ]; then
    "$(dirname "$0")/bench_parallel.sh" "$build" "$ref" "$data/packets.bin" "$data/stream.dat"
fi
