#!/usr/bin/env bash
# Installs what `make build`, `make demo` and `make test` need on a Debian
# machine, when it is missing: the compiler, CMake, GoogleTest, netCDF-C, and
# Node.js with npm for the report's charting library; with --test also what
# the tests run: the netCDF command-line tools, the UDUNITS-2 checker,
# python3 with xarray, and Chromium. Fast when everything is there.
#   tools/install_build_deps.sh [--test]     (as root, or with sudo on PATH)
set -euo pipefail
here=$(dirname "$0")

packages=(cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libnetcdf-dev)
# Node.js may come from elsewhere than Debian with npm inside it: only
# missing commands are installed.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)
if [ "${1:-}" = "--test" ]; then
  packages+=(netcdf-bin udunits-bin python3 python3-xarray python3-netcdf4)
  command -v chromium >/dev/null 2>&1 || packages+=(chromium)
fi
"$here/apt_install_missing.sh" "${packages[@]}"
