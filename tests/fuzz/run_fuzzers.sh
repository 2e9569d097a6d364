#!/usr/bin/env bash
# Runs every fuzz target of a build for a fixed time and fails when any of
# them finds something (a crash, a sanitizer report, a failed property, an
# input slower than the timeout, or memory past the limit).
#
#   tests/fuzz/run_fuzzers.sh BUILD_DIR SECONDS [TARGET...]
#
# Each target starts from its seed corpus and the inputs of past findings;
# what it adds goes to BUILD_DIR/corpus/<target> and is kept for the next
# run. Inputs of findings go to tests/fuzz/artifacts/.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$1"
seconds="$2"
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(packet extract)
    [ -x "$build/fuzz_tdr" ] && targets+=(tdr)
fi

artifacts="$here/artifacts"
mkdir -p "$artifacts"
# The targets write their scratch files under TMPDIR: one directory for the
# run, removed however it ends.
scratch="$(mktemp -d "${TMPDIR:-/tmp}/vandrel-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

passed=0
failed=0
for t in "${targets[@]}"; do
    exe="$build/fuzz_$t"
    work="$build/corpus/$t"
    mkdir -p "$work"
    dirs=("$work" "$here/corpus/$t")
    [ -d "$here/regressions/$t" ] && dirs+=("$here/regressions/$t")
    extra=()
    # The packet target reads one packet and a control byte.
    [ "$t" = packet ] && extra+=(-max_len=129)
    log="$build/fuzz_$t.log"
    echo "== fuzz_$t for ${seconds}s"
    TMPDIR="$scratch" "$exe" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$t-" "${extra[@]}" "${dirs[@]}" >"$log" 2>&1
    status=$?
    grep -E '^#[0-9]+[[:space:]]+DONE|^stat::number_of_executed_units|^stat::peak_rss_mb' "$log" | sed 's/^/   /'
    if [ $status -eq 0 ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "   FINDING (exit $status); the end of $log:"
        grep -vE '^(#[0-9]+ |INFO:|"|###)' "$log" | tail -40 | sed 's/^/   /'
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ $failed -eq 0 ]
