#!/bin/bash
# The Windows builds under Wine: their DLL imports, the GoogleTest suites,
# the end-to-end tests of both commands, and every output file (text tables
# and netCDF files) compared byte for byte with the one the Linux build
# makes from the same input.
#
#   run_wine_tests.sh LINUX_BUILD WINDOWS_BUILD...
#
# LINUX_BUILD holds vandrel, gen_packets and (when built) vandrel-tdr and
# gen_tdr_stream; each WINDOWS_BUILD the same as .exe files and the test
# programs under tests/. Wine's prefix is $WINEPREFIX (default ~/.wine); see
# tools/install_windows_deps.sh.
set -u
if [ $# -lt 2 ]; then
    echo "usage: $0 LINUX_BUILD WINDOWS_BUILD..." >&2
    exit 2
fi
src=$(cd "$(dirname "$0")/../.." && pwd)
linux=$(cd "$1" && pwd)
shift
builds=()
for build in "$@"; do builds+=("$(cd "$build" && pwd)"); done

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine}"
# Wine turns Unix file names into Windows ones through the locale's
# character set: UTF-8, so that non-ASCII names survive.
export LC_ALL=C.UTF-8

if ! command -v wine > /dev/null; then
    echo "wine not found: run tools/install_windows_deps.sh" >&2
    exit 2
fi
# The wine command starts Wine's 32-bit loader first. A kernel built without
# 32-bit support cannot execute it: 64-bit programs then run under the
# 64-bit loader directly, and the 32-bit build's programs are checked for
# their imports but cannot be run on such a machine (said below).
if wine --version > /dev/null 2>&1; then
    wine64_loader=wine
    can_run_32bit=yes
else
    wine64_loader=$(command -v wine64 || echo /usr/lib/wine/wine64)
    can_run_32bit=no
    echo "note: this machine cannot execute 32-bit programs; the 32-bit Windows build is not run" \
        "(its imports are checked; make test-32bit runs a 32-bit Linux build under qemu-i386)"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init > /dev/null 2>&1
    wineserver -w
fi
# The debug dump's fixed place, c:\temp\vandrel_debug.txt.
win_temp="$WINEPREFIX/drive_c/temp"
mkdir -p "$win_temp"
# One Wine server for the whole run instead of one per program.
wineserver -p30

# check, its counts and finish, and the scratch directory $dir, removed at
# the end (and made the current directory).
# shellcheck source=/dev/null
. "$src/tests/check.sh"
# shellcheck disable=SC2154  # dir is check.sh's
work=$dir

# same_file, same_dir, e2e, input and run_both, comparing the Windows
# programs (in $other_bin) with the Linux ones.
# shellcheck source=/dev/null
. "$src/tests/compare.sh"

# The loader that runs an .exe: wine for 32-bit programs, the 64-bit loader
# for the others.
is_32bit() { i686-w64-mingw32-objdump -f "$1" 2>/dev/null | grep -q 'pei-i386'; }
loader_for() { if is_32bit "$1"; then echo wine; else echo "$wine64_loader"; fi; }

# A program of the Linux build, or nothing when that build lacks it.
linux_tool() { [ -x "$linux/$1" ] && echo "$linux/$1"; }

# Wraps a .exe in a script that runs it under Wine, passes its exit status on
# and turns its CR LF console lines into LF ones, so that the end-to-end
# scripts can run it as they run the Linux program. On a terminal the
# program gets the terminal itself.
wrap() {  # EXE NAME -> path of the wrapper
    local w="$work/bin/$2" loader
    loader=$(loader_for "$1")
    mkdir -p "$work/bin"
    cat > "$w" <<EOF
#!/bin/bash
if [ -t 1 ] || [ -t 2 ]; then exec $loader '$1' "\$@"; fi
out=\$(mktemp -d '$work/run.XXXXXX')
if [ -c /dev/stdout ]; then
    # A device such as /dev/null or /dev/full: the program writes to it
    # itself and sees what becomes of its writes.
    $loader '$1' "\$@" 2> "\$out/2" < /dev/null
    status=\$?
else
    $loader '$1' "\$@" > "\$out/1" 2> "\$out/2" < /dev/null
    status=\$?
    tr -d '\r' < "\$out/1"
fi
tr -d '\r' < "\$out/2" >&2
rm -rf "\$out"
exit \$status
EOF
    chmod +x "$w"
    echo "$w"
}

# ---- Inputs, made once by the Linux tools.
inputs="$work/inputs"
linux_generator() { "$linux/$1" "${@:2}"; }
make_inputs "$inputs" linux_generator

# ---- The GoogleTest suites of every build, in the background while the
# rest runs: much of Wine's time is spent waiting on its server.
suites=()
for build in "${builds[@]}"; do
    for exe in "$build"/tests/*_tests.exe "$build"/tests/*/*_tests.exe; do
        [ -f "$exe" ] || continue
        if is_32bit "$exe" && [ "$can_run_32bit" = no ]; then continue; fi
        log="$work/$(basename "$build")-$(basename "$exe").log"
        (cd "$work" && $(loader_for "$exe") "$exe" --gtest_brief=1 > "$log" 2>&1; echo "$?" > "$log.status") &
        suites+=("$(basename "$build") $(basename "$exe")|$log")
    done
done

for build in "${builds[@]}"; do
    tag=$(basename "$build")
    echo "=== $tag"
    objdump=x86_64-w64-mingw32-objdump
    if "$objdump" -f "$build/vandrel.exe" | grep -q 'pei-i386'; then objdump=i686-w64-mingw32-objdump; fi

    # ---- Each program needs only DLLs that every Windows has.
    for exe in "$build"/*.exe "$build"/tests/*.exe "$build"/tests/*/*.exe; do
        [ -f "$exe" ] || continue
        extra=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' |
            grep -Ev '^(kernel32|msvcrt|user32|shell32|advapi32|ws2_32|ucrtbase)\.dll$|^api-ms-win-' | tr '\n' ' ')
        check "$tag $(basename "$exe"): system DLLs only" "" "$extra"
    done
    if is_32bit "$build/vandrel.exe" && [ "$can_run_32bit" = no ]; then
        echo "SKIP $tag: 32-bit programs cannot run on this machine"
        continue
    fi

    # ---- The end-to-end tests of both commands, as on Linux.
    other_bin="$work/bin-$tag"
    mkdir -p "$other_bin"
    for exe in "$build"/*.exe; do
        name=$(basename "$exe" .exe)
        mv "$(wrap "$exe" "$name")" "$other_bin/$name"
    done
    # For the end-to-end scripts: where --debug-dump alone writes, and that a
    # terminal shows Wine's repainting of the console rather than the
    # program's own text.
    export VANDREL_FIXED_DUMP_DIR="$win_temp"
    export VANDREL_NO_TERMINAL_TESTS=1
    e2e cli_test.sh "$src/tests/cli_test.sh" "$other_bin/vandrel" "$linux/gen_packets"
    if [ -x "$other_bin/vandrel-tdr" ] && gen_tdr=$(linux_tool gen_tdr_stream); then
        e2e tdr_cli_test.sh "$src/tests/tdr_cli/tdr_cli_test.sh" "$other_bin/vandrel-tdr" "$gen_tdr" \
            "$src/examples/sample_compressed.dat"
    fi

    # ---- The packet tool, Linux against Windows, on every input.
    for f in "$inputs"/packets/*; do
        input "$work/$tag-cmp-$(basename "$f")" "$f"
        run_both "$d" vandrel "$(basename "$f")"
    done

    # ---- The TDR decoder, Linux against Windows, with the debug dump.
    if [ -x "$other_bin/vandrel-tdr" ] && [ -n "$(linux_tool vandrel-tdr)" ]; then
        for f in "$inputs"/tdr/*; do
            input "$work/$tag-tdr-$(basename "$f")" "$f"
            run_both "$d" vandrel-tdr --quiet --debug-dump-path dump.txt "$(basename "$f")"
            run_both "$d" vandrel-tdr --quiet --skip 100 --output skipped "$(basename "$f")"
        done

        # --debug-dump alone writes c:\temp\vandrel_debug.txt, the same bytes
        # as the dump at a path of our choosing.
        d="$work/$tag-default-dump"
        mkdir -p "$d"
        cp "$src/examples/sample_compressed.dat" "$d/"
        rm -f "$win_temp/vandrel_debug.txt"
        (cd "$d" && "$other_bin/vandrel-tdr" --quiet --debug-dump sample_compressed.dat > /dev/null 2>&1)
        check "$tag debug dump in c:\\temp" "yes" "$([ -f "$win_temp/vandrel_debug.txt" ] && echo yes)"
        (cd "$d" && "$linux/vandrel-tdr" --quiet --debug-dump-path linux_dump.txt sample_compressed.dat > /dev/null 2>&1)
        same_file "$tag debug dump bytes" "$d/linux_dump.txt" "$win_temp/vandrel_debug.txt"
        rm -f "$win_temp/vandrel_debug.txt"
    fi

    # ---- The netCDF files: the same bytes as Linux's, for a creation time
    # fixed through SOURCE_DATE_EPOCH (each file records it).
    export SOURCE_DATE_EPOCH=1700000000
    for f in "$inputs/packets/casts_compressed.dat" "$inputs/packets/sample_packets.bin"; do
        input "$work/$tag-nc-$(basename "$f")" "$f"
        run_both "$d" vandrel --netcdf --position -45.5,170.25 "$(basename "$f")"
    done
    if [ -x "$other_bin/vandrel-tdr" ] && [ -n "$(linux_tool vandrel-tdr)" ]; then
        for f in "$inputs/tdr/sample_compressed.dat" "$inputs/tdr/big_compressed.dat"; do
            [ -f "$f" ] || continue
            input "$work/$tag-nc-tdr-$(basename "$f")" "$f"
            printf 'time,lat,lon\r\n2026-03-01T00:00:00Z,-45,170\r\n2026-03-02T00:00:00Z,-46,171\r\n' > "$d/in/track.csv"
            run_both "$d" vandrel-tdr --quiet --netcdf --dives --track track.csv "$(basename "$f")"
        done
    fi

    # ---- File names beyond ASCII and the ANSI code page, in a directory
    # of such a name, given on the command line.
    input "$work/$tag-names/données Ωμέγα" "$inputs/packets/casts_compressed.dat" "проба_ñ_日本_compressed.dat"
    run_both "$d" vandrel --netcdf "проба_ñ_日本_compressed.dat"
    check "$tag non-ASCII table and netCDF file made" "yes yes" \
        "$(exists "$d/other/проба_ñ_日本_extracted.txt") $(exists "$d/other/проба_ñ_日本_extracted.nc")"
    if [ -x "$other_bin/vandrel-tdr" ] && [ -f "$inputs/tdr/tag12_compressed.dat" ]; then
        input "$d" "$inputs/tdr/tag12_compressed.dat" "Ταυ_ü_compressed.dat"
        run_both "$d" vandrel-tdr --quiet --netcdf --debug-dump-path "δ_dump.txt" "Ταυ_ü_compressed.dat"
        check "$tag non-ASCII TDR files made" "yes yes" "$(exists "$d/other/Ταυ_ü_tdr.txt") $(exists "$d/other/Ταυ_ü_tdr.nc")"
    fi
done

wait
for suite in "${suites[@]}"; do
    name=${suite%%|*}
    log=${suite#*|}
    summary=$(tr -d '\r' < "$log" | grep -E '^\[  (PASSED|FAILED|SKIPPED)  \]' | tr '\n' ' ')
    echo "$name: $summary"
    check "$name" 0 "$(cat "$log.status")"
    [ "$(cat "$log.status")" = 0 ] || tr -d '\r' < "$log" | tail -n 40
done
finish
