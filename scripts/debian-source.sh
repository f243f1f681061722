#!/bin/sh
# Fetches one version of a Debian source package and unpacks it into DEST, through the machine's
# own apt sources asked for source packages in a private apt state (the system's stays
# untouched). A second run with DEST already unpacked fetches nothing.
# Usage: scripts/debian-source.sh PACKAGE VERSION DEST   (prints the unpacked source folder)
set -eu
[ $# -eq 3 ] || { echo "usage: $0 PACKAGE VERSION DEST" >&2; exit 2; }
package=$1 version=$2
mkdir -p "$3"
dest="$(cd "$3" && pwd)"
upstream="${version#*:}"
upstream="${upstream%-*}"
dsc="$dest/${package}_${version#*:}.dsc"
"$(dirname "$0")/apt-install.sh" dpkg-dev >&2
if [ ! -f "$dsc" ]; then
  apt="$dest/apt"
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
  echo "debian-source: fetching the source package $package $version" >&2
  apt-get "$@" -qq update
  (cd "$dest" && apt-get "$@" -qq source --only-source "$package=$version" >/dev/null 2>&1) ||
    partial=yes
  rm -rf "$apt"
fi
grep -qx "Version: $version" "$dsc" || {
  echo "debian-source: $dsc is not version $version" >&2
  exit 1
}
src="$dest/$package-$upstream"
# A mirror may lack the packaging part of a source package. The upstream tarball the .dsc names
# is then unpacked alone, once its checksum matches the .dsc's.
if [ "${partial:-}" = yes ] && [ ! -d "$src" ]; then
  orig=$(sed -n '/^Checksums-Sha256:/,/^[^ ]/s/^ [0-9a-f]* [0-9]* \(.*\.orig\.tar\.[a-z0-9]*\)$/\1/p' "$dsc")
  sum=$(sed -n "/^Checksums-Sha256:/,/^[^ ]/s/^ \([0-9a-f]*\) [0-9]* $orig\$/\1/p" "$dsc")
  [ -n "$orig" ] && [ -f "$dest/$orig" ] && echo "$sum  $dest/$orig" | sha256sum -c --quiet - || {
    echo "debian-source: $package $version could not be fetched" >&2
    exit 1
  }
  echo "debian-source: the mirror has no packaging part; building $orig as Debian ships it" >&2
  top=$(tar -tf "$dest/$orig" | head -n 1 | cut -d/ -f1)
  tar -xf "$dest/$orig" -C "$dest"
  mv "$dest/$top" "$src"
fi
[ -d "$src" ] || { echo "debian-source: $src was not unpacked" >&2; exit 1; }
echo "$src"
