#!/usr/bin/env bash
# Installs what the fuzz targets need, from Debian's packages: clang, the
# libFuzzer and sanitizer runtimes, CMake and make. Safe to run again:
# packages already present are left alone.
#
#   tools/install_fuzz_deps.sh          (as root, or with sudo on PATH)
set -euo pipefail

SUDO=
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
APT="$SUDO apt-get -y -q -o DPkg::Lock::Timeout=900 -o Dpkg::Use-Pty=0"

packages=(clang libclang-rt-14-dev cmake make g++)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  $APT update
  $APT install --no-install-recommends "${missing[@]}"
fi

# The libFuzzer runtime must be where clang looks for it.
if ! echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
    clang++ -x c++ -fsanitize=fuzzer,address,undefined -o /dev/null - 2>/dev/null; then
  echo "clang++ cannot link a libFuzzer target: is libclang-rt for this clang installed?" >&2
  exit 1
fi
