#!/usr/bin/env bash
# Installs what the Windows cross-builds and their tests need, from Debian's
# packages: the MinGW-w64 compilers for both targets, 64- and 32-bit Wine,
# GoogleTest's sources (built per target), zip for the release archives,
# python3 for a test input generator.
# Safe to run again: packages already present are left alone, and the Wine
# prefix is only created when it is missing.
#
#   tools/install_windows_deps.sh          (as root, or with sudo on PATH)
set -euo pipefail

"$(dirname "$0")/apt_install_missing.sh" \
  cmake make \
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix \
  wine wine64 wine32:i386 \
  googletest zip python3

# A Wine prefix made once, without a display and without the prompts for the
# .NET and HTML runtimes. The debug dump of the TDR decoder goes to c:\temp.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX="${WINEPREFIX:-$HOME/.wine}"
export WINEPREFIX
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "install_windows_deps: creating the Wine prefix $WINEPREFIX"
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w || true
fi
mkdir -p "$WINEPREFIX/drive_c/temp"
echo "install_windows_deps: done"
