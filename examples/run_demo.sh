#!/bin/sh
# Runs the commands on the bundled samples, in BUILD_DIR/demo.
#   run_demo.sh BUILD_DIR
set -eu
build=$1
here=$(dirname "$0")
demo="$build/demo"
mkdir -p "$demo"
cp "$here/sample_packets.bin" "$demo/"
"$build/vandrel" --netcdf --report "$demo/sample_packets.bin"
echo
echo "First rows of $demo/sample_packets_extracted.txt:"
head -n 8 "$demo/sample_packets_extracted.txt"
echo
echo "Also written: $demo/sample_packets_extracted.nc (CF netCDF) and $demo/sample_packets_report.html (open it in a browser)"
"$here/run_tdr_demo.sh" "$build"
