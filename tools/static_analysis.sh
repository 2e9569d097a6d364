#!/bin/sh
# Static checks of CI: layout (clang-format), clang-tidy with the checks of
# .clang-tidy, and cppcheck. Any finding fails.   static_analysis.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build-lint}
sources=$(git ls-files '*.cpp' '*.h')
production=$(git ls-files 'platform/*.cpp' 'packet/*.cpp' 'tdr/*.cpp' 'driver/*.cpp' 'tools/*.cpp' 'science/*.cpp' \
    'text/*.cpp' 'pipeline/*.cpp' 'netcdf/*.cpp' 'report/*.cpp' 'dives/*.cpp')

echo "== clang-format =="
clang-format --dry-run --Werror $sources

echo "== clang-tidy =="
cmake -S . -B "$build" -DVANDREL_TESTS=OFF >/dev/null
# shellcheck disable=SC2086
printf '%s\n' $production | xargs -P 2 -n 4 clang-tidy -p "$build" --quiet 2>&1 \
    | grep -v 'warnings generated' | tee "$build/clang-tidy.log"
if grep -qE 'warning:|error:' "$build/clang-tidy.log"; then
    echo "clang-tidy reported findings"
    exit 1
fi

echo "== cppcheck =="
cppcheck --enable=warning,performance,portability --inline-suppr --error-exitcode=1 -q \
    --std=c++17 --library=googletest -I . platform packet driver tools tdr bench tests coding science text pipeline netcdf \
    report dives

echo "static analysis: no findings"
