#!/bin/sh
# Takes the pictures of the window that the README shows, under a virtual X server: Wait (no
# tester), DataReady (after reading a simulated tester), both also in Russian and German with
# the first lines of a Russian report, the first and last page of a PDF protocol, the information dialog grown for a long message (the path
# of a handed-over workbook where no program of the desktop opens it), the port settings dialog
# (which the window itself never opens: the Qt test shows it for a serial component and keeps its
# picture) and, when run as root, Wait at a port that the user may not open (the window runs as
# nobody). Needs a build (scripts/build.sh).
set -eu
cd "$(dirname "$0")/.."
scripts/apt-install.sh xvfb x11-utils imagemagick xdotool util-linux poppler-utils
out=docs
work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
export DISPLAY=:77
Xvfb "$DISPLAY" -screen 0 1024x600x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
sleep 1

shot() {  # name seconds-to-wait [language]
  env ${3:+LANG=C.UTF-8 LANGUAGE=$3} build/src/app/quarrow2excel &
  app=$!
  sleep "$2"
  id=$(xwininfo -root -tree | awk '/"Quarrow VORNEX"/ {print $1; exit}')
  import -window "$id" "$out/$1.png"
  kill "$app"
  wait "$app" 2>/dev/null || true
}

for lang in "" ru de; do
  shot "window-wait${lang:+-$lang}" 2 "$lang"
  build/tools/sim/quarrow-sim --records 120 --seed 5 --once 2>/dev/null &
  sim=$!
  sleep 0.5
  shot "window-dataready${lang:+-$lang}" 6 "$lang"
  kill "$sim" 2>/dev/null || true
done

# The first lines of a Russian report, as the reader writes it in a UTF-8 locale.
build/tools/sim/quarrow-sim --records 12 --seed 5 --once --name report 2>"$work/sim.log" &
sim=$!
sleep 0.5
LC_ALL=C.UTF-8 build/src/app/quarrow2excel-cli --lang ru --timeout 30 --text "$work/report.txt" \
  --port "$XDG_RUNTIME_DIR/quarrow2excel/ports/report/tty" \
  2>"$work/cli.log" || { cat "$work/sim.log" "$work/cli.log"; exit 1; }
head -n 12 "$work/report.txt" | tr -d '\r' >"$out/report-ru.txt"
kill "$sim" 2>/dev/null || true

# The first and the last page of the demo archive's PDF protocol.
build/tools/sim/quarrow-sim --records 120 --seed 5 --once --name protocol 2>"$work/sim.log" &
sim=$!
sleep 0.5
build/src/app/quarrow2excel-cli --timeout 30 --pdf "$work/protocol.pdf" \
  --port "$XDG_RUNTIME_DIR/quarrow2excel/ports/protocol/tty" \
  2>"$work/cli.log" || { cat "$work/sim.log" "$work/cli.log"; exit 1; }
pages=$(pdfinfo "$work/protocol.pdf" | awk '/^Pages:/ {print $2}')
pdftoppm -png -r 80 -singlefile -f 1 -l 1 "$work/protocol.pdf" "$out/protocol-first-page"
pdftoppm -png -r 80 -singlefile -f "$pages" -l "$pages" "$work/protocol.pdf" \
  "$out/protocol-last-page"
kill "$sim" 2>/dev/null || true

# "Export to Excel" with no program to open the workbook (no xdg-open on the PATH): the window
# tells where the workbook went, in a path long enough to grow the dialog.
export XDG_CACHE_HOME="$work/cache/lab-user/Documents/Quarrow-exports/2026/December-readings"
build/tools/sim/quarrow-sim --records 12 --seed 5 --once 2>/dev/null &
sim=$!
sleep 0.5
env PATH=/nonexistent build/src/app/quarrow2excel &
app=$!
sleep 6
id=$(xwininfo -root -tree | awk '/"Quarrow VORNEX"/ {print $1; exit}')
# The button's middle in design pixels (88 + 90, 59 + 22) at 96 dpi.
xdotool mousemove --window "$id" 178 81 click 1
sleep 3
info=$(xwininfo -root -tree | awk '/"Information"/ {print $1; exit}')
import -window "$info" "$out/info-long-message.png"
kill "$app" "$sim" 2>/dev/null || true
wait "$app" 2>/dev/null || true
Q2E_QT_TEST_PLATFORM=xcb Q2E_PORT_DIALOG_SHOT="$out/port-settings-dialog.png" \
  build/tests/ui/ui_qt_test --gtest_filter='*PortSettingsDialog*' >/dev/null
echo "wrote $out/window-*.png, $out/report-ru.txt, $out/protocol-*-page.png," \
  "$out/info-long-message.png and $out/port-settings-dialog.png"

[ "$(id -u)" = 0 ] || exit 0
# The simulated tester is announced in nobody's runtime folder; then its terminal is taken away
# from nobody, as a port is from a user outside the dialout group.
chown -R nobody "$work"
as_nobody="setpriv --reuid=nobody --regid=nogroup --clear-groups --"
$as_nobody build/tools/sim/quarrow-sim --records 3 2>"$work/sim.log" &
sim=$!
i=0
until grep -q announced "$work/sim.log" || [ $i -ge 50 ]; do sleep 0.1; i=$((i + 1)); done
tty=$(sed -n 's/.* -> \(\/dev\/[^;]*\);.*/\1/p' "$work/sim.log")
chown root:root "$tty"
chmod 600 "$tty"
$as_nobody build/src/app/quarrow2excel &
app=$!
sleep 5
id=$(xwininfo -root -tree | awk '/"Quarrow VORNEX"/ {print $1; exit}')
import -window "$id" "$out/window-port-permission.png"
kill "$app" "$sim" 2>/dev/null || true
wait "$app" "$sim" 2>/dev/null || true
echo "wrote $out/window-port-permission.png"
