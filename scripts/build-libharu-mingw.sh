#!/bin/sh
# Cross-builds libharu for 64-bit Windows (MinGW-w64) as a static library from Debian's own
# source package, with zlib from libz-mingw-w64-dev and without PNG, into PREFIX (include/,
# lib/libhpdf.a). A second run does nothing and fetches nothing. The Windows build's CMake
# configure runs this (cmake/Hpdf.cmake), with PREFIX in the machine's cache of such builds.
# Usage: scripts/build-libharu-mingw.sh PREFIX
set -eu
version=2.3.0+dfsg-1  # the source package built here (Debian 12's); any other is refused
[ $# -eq 1 ] || { echo "usage: $0 PREFIX" >&2; exit 2; }
here="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$1"
prefix="$(cd "$1" && pwd)"
if [ -f "$prefix/lib/libhpdf.a" ] && [ "$(cat "$prefix/version" 2>/dev/null)" = "$version" ]; then
  exit 0
fi

"$here/scripts/apt-install.sh" libz-mingw-w64-dev gcc-mingw-w64-x86-64-posix cmake ninja-build
zlib=/usr/x86_64-w64-mingw32
work="$prefix/work"
src=$("$here/scripts/debian-source.sh" libharu "$version" "$work")

# Static only; PNG is left out, so the library reads no images.
cmake -S "$src" -B "$work/build" -G Ninja --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DLIBHPDF_SHARED=OFF -DLIBHPDF_STATIC=ON \
  -DLIBHPDF_EXAMPLES=OFF -DCMAKE_DISABLE_FIND_PACKAGE_PNG=ON \
  -DZLIB_INCLUDE_DIR="$zlib/include" -DZLIB_LIBRARY="$zlib/lib/libz.a" >/dev/null
cmake --build "$work/build" -j2 >/dev/null
cmake --install "$work/build" >/dev/null
# The archive's name differs between the library's build systems; one name for the build.
for a in "$prefix"/lib/*hpdf*.a; do
  [ "$a" = "$prefix/lib/libhpdf.a" ] || mv "$a" "$prefix/lib/libhpdf.a"
done
rm -f "$prefix"/lib/libz.a "$prefix/README" "$prefix/CHANGES" "$prefix/INSTALL"
echo "$version" >"$prefix/version"
rm -rf "$work"
echo "build-libharu-mingw: libharu $version built into $prefix"
