#!/usr/bin/env bash
# Installs what the fuzz targets need, from Debian's packages: clang, the
# libFuzzer and sanitizer runtimes, CMake and make. Safe to run again:
# packages already present are left alone.
#
#   tools/install_fuzz_deps.sh          (as root, or with sudo on PATH)
set -euo pipefail

"$(dirname "$0")/apt_install_missing.sh" clang libclang-rt-14-dev cmake make g++

# The libFuzzer runtime must be where clang looks for it.
if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer,address,undefined -o /dev/null - 2>/dev/null; then
  echo "clang++ cannot link a libFuzzer target: is libclang-rt for this clang installed?" >&2
  exit 1
fi
