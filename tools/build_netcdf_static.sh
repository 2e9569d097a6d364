#!/usr/bin/env bash
# Builds netCDF-C 4.9.0 as a static library for the release builds (Windows
# and the statically linked Linux programs) and the 32-bit Linux check, from Debian's source package,
# with only the classic formats: HDF5, DAP, byte-range access, NCZarr,
# plugins, the utilities, examples and tests are all off. The netCDF-4 API
# itself (libsrc4, the in-memory model without any storage format) stays
# on: in 4.9.0 the dispatch layer calls its global state and type functions
# whatever the formats, and a library built without it does not link.
#
#   tools/build_netcdf_static.sh TARGET PREFIX
#
# TARGET is linux-x86_64, linux-i686, win32 or win64; the library and its headers are
# installed in PREFIX (PREFIX/lib/libnetcdf.a, PREFIX/include/netcdf.h),
# which is what CMake's VANDREL_NETCDF_ROOT takes. Nothing is done when
# PREFIX already holds the library. The sources are fetched once with
# "apt-get source netcdf" (a deb-src entry is added to apt's sources when
# there is none) into $VANDREL_NETCDF_SOURCES, by default
# ~/.cache/vandrel/netcdf-source. Needs zlib for the target: zlib1g-dev
# (Linux), lib32z1-dev (32-bit Linux) or libz-mingw-w64-dev (Windows).
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 linux-x86_64|linux-i686|win32|win64 PREFIX" >&2
  exit 2
fi
target=$1
prefix=$2
src_root=$(cd "$(dirname "$0")/.." && pwd)
case $target in
  linux-x86_64) toolchain= ; zlib_dev=zlib1g-dev ;;
  linux-i686) toolchain=$src_root/cmake/toolchain-linux-i686.cmake ; zlib_dev=lib32z1-dev ;;
  win32) toolchain=$src_root/cmake/toolchain-mingw32.cmake ; zlib_dev=libz-mingw-w64-dev ;;
  win64) toolchain=$src_root/cmake/toolchain-mingw64.cmake ; zlib_dev=libz-mingw-w64-dev ;;
  *) echo "$0: unknown target $target" >&2; exit 2 ;;
esac

if [ -f "$prefix/lib/libnetcdf.a" ] && [ -f "$prefix/include/netcdf.h" ]; then
  echo "build_netcdf_static: $prefix already holds netCDF-C for $target"
  exit 0
fi

SUDO=
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
"$src_root/tools/apt_install_missing.sh" cmake dpkg-dev "$zlib_dev"

# ---- The sources, once: Debian's netcdf 4.9.0 source package.
sources=${VANDREL_NETCDF_SOURCES:-$HOME/.cache/vandrel/netcdf-source}
if [ ! -f "$sources/CMakeLists.txt" ]; then
  if ! grep -rqsE '^(deb-src |Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "build_netcdf_static: adding a deb-src entry for Debian's main archive"
    suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$suite" | $SUDO tee /etc/apt/sources.list.d/vandrel-deb-src.sources > /dev/null
    $SUDO apt-get -q -o DPkg::Lock::Timeout=900 update > /dev/null
  fi
  fetch=$(mktemp -d "${TMPDIR:-/tmp}/netcdf-source.XXXXXX")
  (cd "$fetch" && apt-get source -q --download-only netcdf=1:4.9.0-3 > /dev/null 2>&1 ||
     apt-get source -q --download-only netcdf > /dev/null)
  (cd "$fetch" && dpkg-source -q -x ./netcdf_*.dsc tree > /dev/null)
  grep -q 'NC_VERSION_MINOR 9' "$fetch/tree/include/netcdf_meta.h" 2>/dev/null ||
    grep -q 'VERSION_MINOR 9' "$fetch/tree/CMakeLists.txt"
  mkdir -p "$(dirname "$sources")"
  rm -rf "$sources"
  mv "$fetch/tree" "$sources"
  rm -rf "$fetch"
fi

# ---- Configure, build, install.
build=$(mktemp -d "${TMPDIR:-/tmp}/netcdf-build-$target.XXXXXX")
trap 'rm -rf "$build"' EXIT
args=(
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$prefix"
  -DCMAKE_INSTALL_LIBDIR=lib
  -DBUILD_SHARED_LIBS=OFF
  -DENABLE_NETCDF_4=ON -DENABLE_NETCDF4=ON -DENABLE_HDF5=OFF -DENABLE_HDF4=OFF
  -DENABLE_DAP=OFF -DENABLE_DAP_REMOTE_TESTS=OFF -DENABLE_BYTERANGE=OFF
  -DENABLE_NCZARR=OFF -DENABLE_NCZARR_FILTERS=OFF -DENABLE_PLUGINS=OFF -DENABLE_FILTER_TESTING=OFF
  -DENABLE_LIBXML2=OFF -DENABLE_PNETCDF=OFF -DENABLE_PARALLEL4=OFF
  -DBUILD_UTILITIES=OFF -DENABLE_EXAMPLES=OFF -DENABLE_TESTS=OFF -DENABLE_DOXYGEN=OFF
  -DENABLE_LOGGING=OFF -DENABLE_MMAP=OFF
)
if [ -n "$toolchain" ]; then args+=(-DCMAKE_TOOLCHAIN_FILE="$toolchain"); fi
cmake -S "$sources" -B "$build" "${args[@]}" > "$build/configure.log" 2>&1 || {
  tail -n 40 "$build/configure.log" >&2
  exit 1
}
cmake --build "$build" -j "${JOBS:-2}" --target netcdf > "$build/build.log" 2>&1 || {
  grep -E 'error|Error' "$build/build.log" | head -n 40 >&2
  exit 1
}
# Only the library and its public headers: the install step of a tree with
# the utilities off would still want them.
mkdir -p "$prefix/lib" "$prefix/include"
cp "$(find "$build" -name libnetcdf.a | head -n 1)" "$prefix/lib/libnetcdf.a.part"
for h in netcdf.h netcdf_meta.h netcdf_mem.h netcdf_aux.h netcdf_filter.h netcdf_dispatch.h; do
  for d in "$build/include" "$sources/include"; do
    if [ -f "$d/$h" ]; then cp "$d/$h" "$prefix/include/$h"; break; fi
  done
done
mv "$prefix/lib/libnetcdf.a.part" "$prefix/lib/libnetcdf.a"
echo "build_netcdf_static: netCDF-C for $target in $prefix"
