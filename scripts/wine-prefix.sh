#!/bin/sh
# Makes DEST a fresh Wine prefix, as `wineboot -i` leaves one, for the user HOME names. The boot
# itself happens once per machine, user and Wine version, into the machine's cache
# ($XDG_CACHE_HOME or ~/.cache, then quarrow2excel/wine/); every prefix is a copy of that one,
# which takes a fraction of a boot.
# Usage: scripts/wine-prefix.sh DEST
set -eu
dest=$1
cache="${XDG_CACHE_HOME:-$HOME/.cache}/quarrow2excel/wine"
pristine="$cache/$(id -un)-$(wine --version 2>/dev/null | tr -cs "A-Za-z0-9." -)"
mkdir -p "$cache"
exec 9>"$cache/lock"
flock 9
if [ ! -f "$pristine/system.reg" ]; then
  boot=$(mktemp -d "$cache/boot.XXXXXX")
  mkdir "$boot/home"
  HOME="$boot/home" WINEPREFIX="$boot/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" \
    wineboot -i >/dev/null 2>&1
  WINEPREFIX="$boot/prefix" wineserver -w
  rm -rf "$pristine"
  mv "$boot/prefix" "$pristine"
  rm -rf "$boot"
fi
rm -rf "$dest"
cp -a "$pristine" "$dest"
# The user's folders (Desktop, Documents, ...) lead into HOME, as a boot with this HOME makes them.
find "$dest/drive_c/users/$(id -un)" -maxdepth 1 -type l | while read -r link; do
  target="$HOME/$(basename "$link")"
  [ -d "$target" ] || target=$HOME
  ln -sfn "$target" "$link"
done
