#!/usr/bin/env bash
# Regenerates the seed corpus of the fuzz targets in tests/fuzz/corpus/ from
# our sample generators and the TDR stream encoder. The output depends only
# on the generators' fixed options, so running it again gives the same files.
#
#   tests/fuzz/make_corpus.sh        (from anywhere; needs g++)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
corpus="$here/corpus"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

CXX="${CXX:-g++}"
"$CXX" -std=c++17 -O1 -I"$root" -o "$tmp/gen_packets" "$root/tools/gen_packets.cpp" "$root/platform/civil_time.cpp"
"$CXX" -std=c++17 -O1 -I"$root" -o "$tmp/gen_tdr_stream" "$root/tools/gen_tdr_stream.cpp"

# Inputs kept from fuzzing campaigns (min-*, see README.md) and the small
# hand-made TDR streams of every block kind stay; the rest is made anew.
mkdir -p "$corpus/packet" "$corpus/extract" "$corpus/tdr"
find "$corpus/packet" "$corpus/extract" -type f ! -name 'min-*' -delete

# One packet per file: the first 48 packets of a generated file, which hold
# version-3 payloads, escapes, erased and refused packets; a few with the
# control byte that switches the trace on or shortens the payload.
"$tmp/gen_packets" "$tmp/packets.bin" --bytes 6144 --seed 7 >/dev/null
for i in $(seq 0 47); do
    dd if="$tmp/packets.bin" of="$corpus/packet/gen_$i" bs=128 skip="$i" count=1 status=none
done
for i in 1 5; do
    { cat "$corpus/packet/gen_$i"; printf '\001'; } >"$corpus/packet/gen_${i}_trace"
    { cat "$corpus/packet/gen_$i"; printf '\120'; } >"$corpus/packet/gen_${i}_cut40"
done
printf '\000\000\000\001\001\000\000\000\001\000\000\001\375' >"$corpus/packet/short_end_marker"

# Whole packet files: small generated files of different seeds and depths,
# one cut in the middle of a packet, and an empty one.
"$tmp/gen_packets" "$corpus/extract/two_casts" --bytes 4096 --seed 1 --max-depth 40 >/dev/null
"$tmp/gen_packets" "$corpus/extract/deep" --bytes 8192 --seed 2 --max-depth 800 >/dev/null
"$tmp/gen_packets" "$tmp/old.bin" --bytes 2048 --seed 3 --start 946684800 >/dev/null
head -c 1000 "$tmp/old.bin" >"$corpus/extract/cut_in_packet"
: >"$corpus/extract/empty"

# TDR streams: short generated streams (no switch, dump, start offset)
# behind the switch bytes.
"$tmp/gen_tdr_stream" "$tmp/sample.dat" --bytes 6000 --seed 1 >/dev/null
"$tmp/gen_tdr_stream" "$tmp/sample2.dat" --bytes 3000 --seed 2 >/dev/null
{ printf '\000\000\000'; head -c 6000 "$tmp/sample.dat"; } >"$corpus/tdr/generated"
{ printf '\001\000\000'; head -c 3000 "$tmp/sample2.dat"; } >"$corpus/tdr/generated_dump"
{ printf '\003\000\100'; head -c 3000 "$tmp/sample2.dat"; } >"$corpus/tdr/generated_offset"

du -sh "$corpus"
