#!/bin/sh
# Cross-builds libxlsxwriter for 64-bit Windows (MinGW-w64) as a static library from Debian's own
# source package, with zlib from libz-mingw-w64-dev, into PREFIX (include/, lib/libxlsxwriter.a).
# A second run does nothing and fetches nothing. The Windows build's CMake configure runs this
# (cmake/MingwLibs.cmake), with PREFIX in the machine's cache of such builds.
# Usage: scripts/build-xlsxwriter-mingw.sh PREFIX
set -eu
version=1.1.4-2  # the source package built here; any other is refused
[ $# -eq 1 ] || { echo "usage: $0 PREFIX" >&2; exit 2; }
here="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$1"
prefix="$(cd "$1" && pwd)"
if [ -f "$prefix/lib/libxlsxwriter.a" ] && [ "$(cat "$prefix/version" 2>/dev/null)" = "$version" ]; then
  exit 0
fi

"$here/scripts/apt-install.sh" libz-mingw-w64-dev gcc-mingw-w64-x86-64-posix cmake ninja-build
zlib=/usr/x86_64-w64-mingw32
work="$prefix/work"
src=$("$here/scripts/debian-source.sh" libxlsxwriter "$version" "$work")

# Static, with the bundled minizip and the locale-independent number formatting.
cmake -S "$src" -B "$work/build" -G Ninja --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTS=OFF \
  -DBUILD_EXAMPLES=OFF -DUSE_DTOA_LIBRARY=ON \
  -DZLIB_INCLUDE_DIR="$zlib/include" -DZLIB_LIBRARY="$zlib/lib/libz.a" >/dev/null
cmake --build "$work/build" -j2 >/dev/null
cmake --install "$work/build" >/dev/null
echo "$version" >"$prefix/version"
rm -rf "$work"
echo "build-xlsxwriter-mingw: libxlsxwriter $version built into $prefix"
