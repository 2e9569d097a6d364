#!/bin/sh
# Builds the reference the parallel benchmark compares with: both commands
# as they were at a given commit, from the repository's own history.
#   build_reference.sh DIR COMMIT   (the commands land in DIR/build)
set -eu
dir=$1
commit=$2
if [ -x "$dir/build/vandrel" ] && [ -x "$dir/build/vandrel-tdr" ] && [ "$(cat "$dir/commit" 2>/dev/null)" = "$commit" ]; then
    exit 0
fi
rm -rf "$dir"
mkdir -p "$dir/src"
git -C "$(dirname "$0")/.." archive "$commit" | tar -x -C "$dir/src"
cmake -S "$dir/src" -B "$dir/build" -DVANDREL_TESTS=OFF -DCMAKE_BUILD_TYPE=Release > "$dir/configure.log"
cmake --build "$dir/build" -j "${JOBS:-2}" --target vandrel vandrel-tdr > "$dir/build.log"
echo "$commit" > "$dir/commit"
