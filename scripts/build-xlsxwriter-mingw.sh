#!/bin/sh
# Cross-builds libxlsxwriter for 64-bit Windows (MinGW-w64) as a static library from Debian's own
# source package, with zlib from libz-mingw-w64-dev. The source comes through the machine's own
# apt sources, asked for source packages in a private apt state (the system's stays untouched).
# The result stays in PREFIX (include/, lib/libxlsxwriter.a): a second run does nothing and
# fetches nothing. The Windows build's CMake configure runs this.
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

"$here/scripts/apt-install.sh" libz-mingw-w64-dev gcc-mingw-w64-x86-64-posix cmake ninja-build dpkg-dev
zlib=/usr/x86_64-w64-mingw32
work="$prefix/work"
upstream="${version%-*}"
dsc="$work/libxlsxwriter_$version.dsc"

if [ ! -f "$dsc" ]; then
  rm -rf "$work"
  apt="$work/apt"
  mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache/archives/partial"
  # Every enabled source of the machine, asked for source packages instead of binaries.
  : >"$apt/sources.list"
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>"$apt/sources.list"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"$apt/parts/${f##*/}"
  done
  set -- -o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts" \
    -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o "APT::Sandbox::User=root"
  echo "build-xlsxwriter-mingw: fetching the source package libxlsxwriter $version"
  apt-get "$@" -qq update
  (cd "$work" && apt-get "$@" -qq source --only-source "libxlsxwriter=$version" >/dev/null)
  rm -rf "$apt"
fi
grep -qx "Version: $version" "$dsc" || {
  echo "build-xlsxwriter-mingw: $dsc is not version $version" >&2
  exit 1
}
[ -f "$work/libxlsxwriter-$upstream/CMakeLists.txt" ] || {
  echo "build-xlsxwriter-mingw: the source package was not unpacked (dpkg-dev missing?)" >&2
  exit 1
}

# Static, with the bundled minizip and the locale-independent number formatting.
cmake -S "$work/libxlsxwriter-$upstream" -B "$work/build" -G Ninja --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTS=OFF \
  -DBUILD_EXAMPLES=OFF -DUSE_DTOA_LIBRARY=ON \
  -DZLIB_INCLUDE_DIR="$zlib/include" -DZLIB_LIBRARY="$zlib/lib/libz.a" >/dev/null
cmake --build "$work/build" -j2 >/dev/null
cmake --install "$work/build" >/dev/null
echo "$version" >"$prefix/version"
rm -rf "$work"
echo "build-xlsxwriter-mingw: libxlsxwriter $version built into $prefix"
