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
rm -f "${prefix}"_*.txt "${prefix}"_*.nc "${prefix}_report.html"

echo "== vandrel-tdr on examples/sample_compressed.dat"
"$tool" --quiet --netcdf --report --dives --output "$prefix" "$here/sample_compressed.dat"

for kind in tdr ctd gps acc dives; do
    f=${prefix}_$kind.txt
    [ -f "$f" ] || continue
    echo
    echo "== $f ($(wc -l < "$f") lines), first rows:"
    head -n 8 "$f" | tr -d '\r'
done
echo
echo "== also written: $(cd "$out" && ls sample_*.nc sample_report.html | tr '\n' ' ')"
