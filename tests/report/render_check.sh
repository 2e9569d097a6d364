#!/bin/sh
# Renders report pages in headless Chromium (render_check.js): pages that
# report_sample_pages makes from made-up records, and the reports of both
# commands on the bundled examples once the commands have --report.
# Screenshots and pages stay in OUT_DIR.
#   render_check.sh SAMPLE_PAGES VANDREL VANDREL_TDR SOURCE_DIR OUT_DIR
# Exit 77 (skipped) when Node.js or Chromium is missing outside CI.
set -u
if [ $# -ne 5 ]; then
    echo "usage: $0 SAMPLE_PAGES VANDREL VANDREL_TDR SOURCE_DIR OUT_DIR" >&2
    exit 2
fi
sample_pages=$1 vandrel=$2 vandrel_tdr=$3 src=$4 out=$5
browser=${CHROMIUM:-/usr/bin/chromium}
if ! command -v node > /dev/null || [ ! -x "$browser" ]; then
    echo "render check needs node and $browser (Debian: apt-get install nodejs chromium)" >&2
    if [ -n "${CI:-}" ]; then exit 1; fi
    exit 77
fi
rm -rf "$out"
mkdir -p "$out/pages" "$out/screenshots"
"$sample_pages" "$out/pages" || exit 1
pages="$out/pages/made_up_packets_report.html $out/pages/made_up_tdr_report.html"

# The commands' own reports, from copies of the examples (vandrel writes
# beside its input).
if "$vandrel_tdr" --help 2>&1 | grep -q -- --report; then
    cp "$src/examples/sample_packets.bin" "$out/pages/" || exit 1
    "$vandrel" --report "$out/pages/sample_packets.bin" > "$out/vandrel.log" 2>&1 || {
        cat "$out/vandrel.log"
        exit 1
    }
    "$vandrel_tdr" --report --dives --quiet --output "$out/pages/sample" "$src/examples/sample_compressed.dat" \
        > "$out/vandrel-tdr.log" 2>&1 || {
        cat "$out/vandrel-tdr.log"
        exit 1
    }
    for f in "$out/pages/sample_packets_report.html" "$out/pages/sample_report.html"; do
        if [ ! -f "$f" ]; then
            echo "FAIL no report $f" >&2
            exit 1
        fi
        pages="$pages $f"
    done
fi
# The pages here are small: the bound on their opening time is a generous
# one for a busy machine (a 1 GB stream's page opens in under 3 s).
# shellcheck disable=SC2086
exec node "$(dirname "$0")/render_check.js" --browser "$browser" --out "$out/screenshots" --max-ms 6000 $pages
