# shellcheck shell=sh
# Shared by the end-to-end test scripts (sourced, POSIX sh): a scratch
# directory under TMPDIR, made the current directory and removed however the
# script ends; checks counted; the closing "N passed, N failed" line.
passed=0
failed=0
dir=$(mktemp -d "${TMPDIR:-/tmp}/vandrel_e2e.XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
# shellcheck disable=SC2034  # CR and status are for the scripts that source this
CR=$(printf '\r')

check() {  # name, expected, actual
    if [ "$2" = "$3" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
    fi
}

# run PROGRAM ARGS...: status in $status, standard output in out.txt,
# standard error in err.txt.
run() {
    "$@" > out.txt 2> err.txt
    # shellcheck disable=SC2034
    status=$?
}

exists() { [ -e "$1" ] && echo yes || echo no; }
same() { cmp -s "$1" "$2" && echo same || echo differ; }
has() { grep -q "$@" && echo yes || echo no; }  # grep ARGS: yes when a line matches

finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
