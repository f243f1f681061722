#!/bin/sh
# Shows a reading without hardware: the simulated tester's archive of 25 records (with their
# single values) is captured as the tester sends it, replayed through the program's link
# protocol, and written as the text report quarrow-demo.txt in the current folder.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/build/tools/sim/quarrow-sim" --records 25 --seed 7 --capture quarrow-demo.capture
"$root/build/tools/decode/quarrow-decode" --unit MPa --singles quarrow-demo.capture quarrow-demo.txt
rm -f quarrow-demo.capture
head -n 12 quarrow-demo.txt | cut -c1-120
echo "The whole report is in $(pwd)/quarrow-demo.txt"
