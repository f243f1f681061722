#!/bin/sh
# Shows a reading without hardware: a simulated tester with a generated archive of 120 records
# and the window, which finds the tester by itself within a few seconds and reads it. Without a
# display the same reading runs in the command-line reader, which writes quarrow-demo.txt,
# quarrow-demo.xlsx and quarrow-demo.pdf into the current folder.
set -eu
build="$(cd "$(dirname "$0")/.." && pwd)/build"
"$build/tools/sim/quarrow-sim" --records 120 --seed 7 2>/dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT INT TERM
sleep 0.3
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "The window finds the simulated tester and reads its 120 records; close it to end."
  "$build/src/app/quarrow2excel"
else
  echo "No display here: the command-line reader reads the simulated tester instead."
  "$build/src/app/quarrow2excel-cli" --text quarrow-demo.txt --xlsx quarrow-demo.xlsx \
    --pdf quarrow-demo.pdf --timeout 30
  echo "The text report is $(pwd)/quarrow-demo.txt"
  echo "The workbook is    $(pwd)/quarrow-demo.xlsx"
  echo "The protocol is    $(pwd)/quarrow-demo.pdf"
fi
