#!/usr/bin/env bash
# Installs the Debian packages named as arguments that are not installed yet,
# non-interactively; does nothing when all are there. Shared by the
# install_*_deps.sh scripts.
#   tools/apt_install_missing.sh PACKAGE...     (as root, or with sudo on PATH)
set -euo pipefail

SUDO=
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
APT="$SUDO apt-get -y -q -o DPkg::Lock::Timeout=900 -o Dpkg::Use-Pty=0"

missing=()
for p in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing ${missing[*]}"
  # Packages of a foreign architecture (name:arch) need that architecture.
  for p in "${missing[@]}"; do
    case $p in
      *:*)
        arch=${p##*:}
        if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
          $SUDO dpkg --add-architecture "$arch"
        fi
        ;;
    esac
  done
  $APT update
  $APT install --no-install-recommends "${missing[@]}"
fi
