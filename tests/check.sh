# Shared by the end-to-end test scripts (sourced, POSIX sh): counts checks
# and prints the closing "N passed, N failed" line.
passed=0
failed=0

check() {  # name, expected, actual
    if [ "$2" = "$3" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL %s\n--- expected\n%s\n--- got\n%s\n' "$1" "$2" "$3"
    fi
}

finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
