#!/bin/sh
# Decodes the bundled sample TDR stream with vandrel-tdr and shows the first
# rows of each data file. The files go to BUILD_DIR/demo/, never next to the
# sample.
#   examples/run_tdr_demo.sh BUILD_DIR
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build=$1
here=$(cd "$(dirname "$0")" && pwd)
tool=$build/vandrel-tdr
if [ ! -x "$tool" ]; then
    echo "$0: $tool not found; build first (make build)" >&2
    exit 1
fi

out=$build/demo
mkdir -p "$out"
prefix=$out/sample
# Only this demo's own outputs: the packet demo's sample_packets_* files
# stay.
for kind in tdr ctd gps acc events dives; do rm -f "${prefix}_$kind.txt" "${prefix}_$kind.nc"; done
rm -f "${prefix}_report.html"

echo "== vandrel-tdr on examples/sample_compressed.dat"
"$tool" --quiet --netcdf --report --dives --output "$prefix" "$here/sample_compressed.dat"

for kind in tdr ctd gps acc dives; do
    f=${prefix}_$kind.txt
    [ -f "$f" ] || continue
    echo
    echo "== $f ($(wc -l < "$f") lines), first rows:"
    head -n 8 "$f" | tr -d '\r'
done
also=""
for f in "$prefix"_tdr.nc "$prefix"_ctd.nc "$prefix"_gps.nc "$prefix"_acc.nc "$prefix"_events.nc "$prefix"_dives.nc \
    "$prefix"_report.html; do
    [ -f "$f" ] && also="$also $f"
done
echo
echo "== also written:$also"
