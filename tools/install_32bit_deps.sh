#!/usr/bin/env bash
# Installs what the 32-bit x86 Linux build and its test need (make
# test-32bit), from Debian's packages: the host g++'s 32-bit libraries
# (multilib), zlib for the 32-bit static netCDF-C, and qemu-user, whose
# qemu-i386 runs the 32-bit programs on any x86-64 kernel.
#
#   tools/install_32bit_deps.sh          (as root, or with sudo on PATH)
set -euo pipefail
"$(dirname "$0")/apt_install_missing.sh" cmake make g++-multilib lib32z1-dev qemu-user python3
