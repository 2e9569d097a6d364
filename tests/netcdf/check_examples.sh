#!/bin/bash
# The netCDF files of the bundled examples, checked against their text
# tables by check_nc.py.   check_examples.sh VANDREL VANDREL_TDR EXAMPLES_DIR
set -euo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/vandrel_nc.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$3/sample_packets.bin" "$3/sample_compressed.dat" "$work/"
printf 'time,lat,lon\r\n2000-01-01T00:00:00Z,-45,170\r\n2100-01-01T00:00:00Z,-46,171\r\n' > "$work/track.csv"
(cd "$work" && "$1" --netcdf --position -45.5,170.25 sample_packets.bin > /dev/null)
(cd "$work" && "$2" --quiet --netcdf --dives --track track.csv sample_compressed.dat > /dev/null)
for t in sample_packets_extracted sample_tdr sample_ctd sample_acc sample_gps; do
    [ -f "$work/$t.nc" ] || { echo "missing $t.nc"; exit 1; }
done
/usr/bin/python3 "$(dirname "$0")/check_nc.py" "$work"
