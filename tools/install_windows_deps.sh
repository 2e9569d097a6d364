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

SUDO=
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
APT="$SUDO apt-get -y -q -o DPkg::Lock::Timeout=900 -o Dpkg::Use-Pty=0"

packages=(
  cmake make
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64 wine32:i386
  googletest zip python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install_windows_deps: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $APT update
  $APT install --no-install-recommends "${missing[@]}"
else
  echo "install_windows_deps: all packages present"
fi

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
