#!/bin/bash
# The 32-bit x86 Linux build (cmake/toolchain-linux-i686.cmake) under
# qemu-i386, which runs it on any x86-64 kernel, including one that cannot
# execute 32-bit programs. It has the data model of the Windows i686 build
# (4-byte long, pointers and size_t) and its SSE2 arithmetic. Checked: the
# end-to-end tests of both commands, and every output of the generators and
# of both commands, with every option, the same bytes as the x86-64 build's;
# also the unit suites of the i686 build.
#
#   run_qemu_tests.sh LINUX_BUILD I686_BUILD
#
# Each build holds vandrel, vandrel-tdr, gen_packets and gen_tdr_stream; the
# i686 ones are linked statically, and its unit suites are under tests/.
set -u
[ $# -eq 2 ] || { echo "usage: $0 LINUX_BUILD I686_BUILD" >&2; exit 2; }
src=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck disable=SC2034  # used by compare.sh
linux=$(cd "$1" && pwd)
i686=$(cd "$2" && pwd)
qemu=$(command -v qemu-i386 || command -v qemu-i386-static) ||
    { echo "qemu-i386 not found: run tools/install_32bit_deps.sh" >&2; exit 2; }

# check, its counts and finish, and the scratch directory $dir, removed at
# the end; then the comparisons of compare.sh.
# shellcheck source=/dev/null
. "$src/tests/check.sh"
# shellcheck disable=SC2034,SC2154  # dir is check.sh's, tag for compare.sh
work=$dir tag=i686 other_bin=$dir/bin
# shellcheck source=/dev/null
. "$src/tests/compare.sh"

# Each i686 program behind a script of its name that runs it under qemu.
mkdir -p "$other_bin"
for p in vandrel vandrel-tdr gen_packets gen_tdr_stream; do
    # Byte 4 of an ELF file is its class: 1 for 32-bit programs.
    check "$p is a 32-bit program" 01 "$(od -An -tx1 -j4 -N1 "$i686/$p" | tr -d ' ')"
    printf '#!/bin/sh\nexec "%s" "%s" "$@"\n' "$qemu" "$i686/$p" > "$other_bin/$p"
    chmod +x "$other_bin/$p"
done

# ---- The GoogleTest suites, then the end-to-end tests with the 32-bit
# generators.
for t in "$i686"/tests/*_tests "$i686"/tests/*/*_tests; do e2e "${t##*/}" "$qemu" "$t" --gtest_brief=1; done
# qemu-user aborts a threaded 32-bit program that a signal reaches (the same
# program run natively on a kernel that executes 32-bit programs stops
# cleanly), so the Ctrl-C check runs the decoder in one thread here.
export VANDREL_INTERRUPT_THREADS=1
e2e cli_test.sh "$src/tests/cli_test.sh" "$other_bin/vandrel" "$other_bin/gen_packets"
e2e tdr_cli_test.sh "$src/tests/tdr_cli/tdr_cli_test.sh" "$other_bin/vandrel-tdr" \
    "$other_bin/gen_tdr_stream" "$src/examples/sample_compressed.dat"

# ---- Inputs: each generator's files the same bytes from both builds.
both_generators() {  # GENERATOR FILE ARGS...
    local d="$work/gen-${2##*/}"
    mkdir -p "$d/in"
    run_both "$d" "$1" out "${@:3}"
    cp "$d/linux/out" "$2"
}
inputs="$work/inputs"
make_inputs "$inputs" both_generators

# Every file each command writes (the netCDF files record their creation
# time, fixed here), positions from a track or one place.
export SOURCE_DATE_EPOCH=1700000000
track='time,lat,lon\r\n2010-01-01T00:00:00Z,-45,170\r\n2026-03-01T00:00:00Z,-45.5,170.5\r\n2030-03-02T00:00:00Z,-46,171\r\n'

# ---- The packet tool: the table alone, then with the netCDF file and the
# report, placed by a track or at one position.
for f in "$inputs"/packets/*; do
    name=$(basename "$f")
    input "$work/packets-$name" "$f"
    printf '%b' "$track" > "$d/in/track.csv"
    run_both "$d" vandrel "$name"
    run_both "$d" vandrel --netcdf --report --track track.csv "$name"
    run_both "$d" vandrel --netcdf --report --position -45.5,170.25 "$name" 17
done

# ---- The TDR decoder: every writer, the debug dump, dive tables at odd
# thresholds and offsets (halves of a decimetre among them), --skip over 100
# bytes put in front of the stream.
for f in "$inputs"/tdr/*; do
    name=$(basename "$f")
    input "$work/tdr-$name" "$f"
    printf '%b' "$track" > "$d/in/track.csv"
    { head -c 100 "$src/examples/sample_packets.bin"; cat "$f"; } > "$d/in/padded.dat"
    run_both "$d" vandrel-tdr --quiet --debug-dump-path dump.txt --netcdf --report --track track.csv \
        --dives --dive-threshold 2.35 --zero-offset -0.15 "$name"
    run_both "$d" vandrel-tdr --skip 100 --output skipped --netcdf --position -45.5,170.25 \
        --dives --dive-threshold 0.05 --zero-offset 0.45 padded.dat
    run_both "$d" vandrel-tdr --quiet --report --dives --dive-threshold 0 --zero-offset -3.25 "$name"
    run_both "$d" vandrel-tdr --quiet --skip 3 --dives --dive-threshold 17.75 "$name"
    # --debug-dump alone: vandrel_debug.txt in the temporary directory, here
    # the run's own.
    TMPDIR=. run_both "$d" vandrel-tdr --quiet --debug-dump "$name"
done
finish
