#!/bin/sh
# Cross-builds SQLite for 64-bit Windows (MinGW-w64) as a static library from Debian's own source
# package (Debian's patches applied), into PREFIX (include/sqlite3.h, lib/libsqlite3.a). The
# package holds SQLite's full source tree: the one-file amalgamation is made from it as its
# Makefile does (a native configure, then "make sqlite3.c" with tclsh), and compiled with the
# MinGW-w64 compiler. A second run does nothing and fetches nothing. The Windows build's CMake
# configure runs this (cmake/MingwLibs.cmake), with PREFIX in the machine's cache of such builds.
# Usage: scripts/build-sqlite-mingw.sh PREFIX
set -eu
version=3.40.1-2+deb12u2  # the source package built here, as Debian 12 ships it; no other
[ $# -eq 1 ] || { echo "usage: $0 PREFIX" >&2; exit 2; }
here="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$1"
prefix="$(cd "$1" && pwd)"
if [ -f "$prefix/lib/libsqlite3.a" ] && [ "$(cat "$prefix/version" 2>/dev/null)" = "$version" ]; then
  exit 0
fi

"$here/scripts/apt-install.sh" gcc-mingw-w64-x86-64-posix gcc make tcl
work="$prefix/work"
src=$("$here/scripts/debian-source.sh" sqlite3 "$version" "$work")

mkdir -p "$work/amalgamation"
(cd "$work/amalgamation" && "$src/configure" --disable-tcl --disable-readline >/dev/null &&
  make sqlite3.c >/dev/null)
mkdir -p "$prefix/include" "$prefix/lib"
# Threads as the program uses them (one connection a thread), no extension loading.
x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION \
  -DSQLITE_DEFAULT_FOREIGN_KEYS=0 -c "$work/amalgamation/sqlite3.c" -o "$work/sqlite3.o"
rm -f "$prefix/lib/libsqlite3.a"
x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" "$work/sqlite3.o"
cp "$work/amalgamation/sqlite3.h" "$prefix/include/"
echo "$version" >"$prefix/version"
rm -rf "$work"
echo "build-sqlite-mingw: SQLite $version built into $prefix"
