# shellcheck shell=bash disable=SC2154  # the variables below are the caller's
# Shared by the runners that compare another build's programs with the Linux
# x86-64 build's (sourced after check.sh): every output the same bytes. The
# sourcing script sets $src (the source tree), $linux (the Linux build),
# $other_bin (the other build's programs, or wrappers that run them, under
# the same names), $tag (the other build's name) and $work (a scratch
# directory).

# same_file NAME LINUX_FILE OTHER_FILE: the same bytes, or neither there.
same_file() {
    if [ ! -e "$2" ] && [ ! -e "$3" ] || cmp "$2" "$3"; then check "$1" same same; else
        check "$1" same differ
        diff <(head -c 2000000 "$2" | tr -d '\r') <(head -c 2000000 "$3" | tr -d '\r') | head -n 8 | cut -c 1-300
    fi
}
# e2e NAME SCRIPT ARGS...: one of the end-to-end scripts, its log shown when
# it fails and its last line (the counts) always.
e2e() {
    local name=$1 log="$work/$tag-$1.log" status
    shift
    (cd "$work" && "$@") > "$log" 2>&1
    status=$?
    check "$tag $name" 0 "$status"
    [ "$status" = 0 ] || cat "$log"
    tail -n 1 "$log" | sed "s/^/$tag $name: /"
}
# same_dir NAME LINUX_DIR OTHER_DIR: the same file names, every file the
# same bytes.
same_dir() {
    check "$1: files" "$(cd "$2" && ls | LC_ALL=C sort)" "$(cd "$3" && ls | LC_ALL=C sort)"
    local f
    for f in "$2"/*; do
        [ -f "$f" ] || continue
        same_file "$1: $(basename "$f")" "$f" "$3/$(basename "$f")"
    done
}

# input DIR FILE [NAME]: DIR/in made afresh, holding a copy of FILE (as NAME).
input() {
    d=$1
    rm -rf "$d/in" && mkdir -p "$d/in" && cp "$2" "$d/in/${3:-}"
}

# run_both DIR NAME ARGS...: runs the Linux program NAME and the other one
# in DIR/linux and DIR/other (each a copy of DIR/in), and compares what they
# print, their exit status and every file they leave.
run_both() {
    local dir=$1 name=$2
    shift 2
    rm -rf "$dir/linux" "$dir/other"
    cp -r "$dir/in" "$dir/linux"
    cp -r "$dir/in" "$dir/other"
    (cd "$dir/linux" && "$linux/$name" "$@" > ../linux.out 2> ../linux.err; echo "status $?" >> ../linux.out)
    (cd "$dir/other" && "$other_bin/$name" "$@" > ../other.out 2> ../other.err; echo "status $?" >> ../other.out)
    local what="$tag $name $*"
    # The console's line ends are the terminal's business (Windows ends them
    # with CR LF); CRs that redraw a line go too.
    check "$what: console" "$(tr -d '\r' < "$dir/linux.out")" "$(tr -d '\r' < "$dir/other.out")"
    check "$what: errors" "$(tr -d '\r' < "$dir/linux.err")" "$(tr -d '\r' < "$dir/other.err")"
    same_dir "$what" "$dir/linux" "$dir/other"
}

# make_inputs DIR GEN: the inputs of the comparisons, a few MB, in
# DIR/packets and DIR/tdr: files of both generators, each made by
# "GEN GENERATOR FILE ARGS...", and the bundled examples in both.
make_inputs() {
    local f
    mkdir -p "$1/packets" "$1/tdr"
    $2 gen_packets "$1/packets/casts_compressed.dat" --casts 6 --seed 11
    $2 gen_packets "$1/packets/deep.bin" --casts 3 --seed 5 --max-depth 2000
    $2 gen_packets "$1/packets/long.bin" --bytes 4000000 --seed 7
    python3 "$src/tests/windows/gen_sweep.py" "$1/packets/sweep.bin" 1
    $2 gen_tdr_stream "$1/tdr/tag12_compressed.dat"
    $2 gen_tdr_stream "$1/tdr/big_compressed.dat" --bytes 3000000 --seed 4
    $2 gen_tdr_stream "$1/tdr/other_compressed.dat" --bytes 200000 --seed 9 --start 1262304000
    for f in "$src"/examples/*.dat "$src"/examples/*.bin; do cp "$f" "$1/packets/" && cp "$f" "$1/tdr/"; done
}
