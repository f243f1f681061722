#!/bin/sh
# Takes the two pictures of the window that the README shows, under a virtual X server: Wait
# (no tester) and DataReady (after reading a simulated tester). Needs a build (scripts/build.sh).
set -eu
cd "$(dirname "$0")/.."
scripts/apt-install.sh xvfb x11-utils imagemagick
out=docs
work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
export DISPLAY=:77
Xvfb "$DISPLAY" -screen 0 1024x600x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
sleep 1

shot() {  # name seconds-to-wait
  build/src/app/quarrow2excel &
  app=$!
  sleep "$2"
  id=$(xwininfo -root -tree | awk '/"Quarrow VORNEX"/ {print $1; exit}')
  import -window "$id" "$out/$1.png"
  kill "$app"
  wait "$app" 2>/dev/null || true
}

shot window-wait 2
build/tools/sim/quarrow-sim --records 120 --seed 5 --once 2>/dev/null &
sim=$!
sleep 0.5
shot window-dataready 6
kill "$sim" 2>/dev/null || true
echo "wrote $out/window-wait.png and $out/window-dataready.png"
