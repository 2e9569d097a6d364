#!/bin/bash
# The netCDF files of the bundled examples and of generated inputs, with a
# fixed position, along a track (covering all or part of the data), and
# without positions but with a deployment's metadata file, checked by
# check_nc.py against the CF and ACDD rules and their text tables; first
# the checker itself on the CF text's examples.
#   check_examples.sh VANDREL VANDREL_TDR GEN_PACKETS GEN_TDR_STREAM EXAMPLES_DIR
set -euo pipefail
vandrel=$1 vandrel_tdr=$2 gen_packets=$3 gen_tdr=$4 examples=$5
check="$(dirname "$0")/check_nc.py"
work=$(mktemp -d "${TMPDIR:-/tmp}/vandrel_nc.XXXXXX")
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$check" --self-test
cp "$examples/sample_packets.bin" "$examples/sample_compressed.dat" "$work/"
"$gen_packets" "$work/gen.bin" --casts 4 --seed 3
"$gen_tdr" "$work/gen_compressed.dat" --bytes 300000 --seed 5
printf 'time,lat,lon\r\n2000-01-01T00:00:00Z,-45,170\r\n2100-01-01T00:00:00Z,-46,171\r\n' > "$work/track.csv"
printf '# part of the sample only\n2026-03-01T00:03:00Z,-45,170\n2026-03-01 00:20:00,-47.5,172.5\n' > "$work/part.csv"
cat > "$work/meta.txt" <<'END'
# An elephant seal deployment
title = Southern elephant seal ct36-F2, 2026
creator_name = A. Researcher
institution = Example Institute of Marine Science
keywords = southern elephant seal
license = CC-BY-4.0
END
# run FOLDER COMMAND...: the command in a folder of its own, on copies of the inputs.
run() {
    mkdir -p "$work/$1" && cp "$work"/*.bin "$work"/*.dat "$work"/*.csv "$work/meta.txt" "$work/$1/"
    (cd "$work/$1" && shift && "$@" > /dev/null 2>&1)
}
run fixed "$vandrel" --netcdf --position -45.5,170.25 sample_packets.bin
run fixed "$vandrel_tdr" --quiet --netcdf --dives --position -45.5,170.25 sample_compressed.dat
run track "$vandrel" --netcdf --track track.csv gen.bin
run track "$vandrel_tdr" --quiet --netcdf --dives --track part.csv sample_compressed.dat
run track "$vandrel_tdr" --quiet --netcdf --track track.csv gen_compressed.dat
run none "$vandrel" --netcdf --report --metadata meta.txt sample_packets.bin
run none "$vandrel_tdr" --quiet --netcdf --dives --metadata meta.txt gen_compressed.dat
for t in fixed/sample_packets_extracted track/gen_extracted none/sample_packets_extracted none/gen_dives \
    {fixed,track}/sample_{tdr,events,dives,ctd,acc,gps} track/gen_{tdr,events,ctd,acc,gps}; do
    [ -f "$work/$t.nc" ] || { echo "missing $t.nc"; exit 1; }; done
grep -q 'Southern elephant seal ct36-F2, 2026' "$work/none/sample_packets_report.html"
/usr/bin/python3 "$check" "$work/fixed" "$work/track"
/usr/bin/python3 "$check" --metadata "$work/meta.txt" "$work/none"
