#!/bin/sh
# Cross-builds the portable code and the Windows platform files with MinGW-w64 and runs the
# Windows test programs under Wine. Configuring builds libxlsxwriter for MinGW-w64 once per
# machine (scripts/build-xlsxwriter-mingw.sh, cmake/MingwLibs.cmake). Two linked pseudo-terminals, served by Wine
# as COM20 and COM21, carry the serial tests and the reader's test over real Windows serial
# ports; two simulated testers (the Linux build's quarrow-sim), served as COM22 and COM23, are
# read end to end by the real programs. The window tests get a display of their own from Xvfb;
# the window that has read COM22 is photographed into BUILD_DIR/window-dataready-windows.png.
# Usage: scripts/test-windows.sh [--build-only] [BUILD_DIR]   (default build-win; its Wine prefix
# lives inside; --build-only stops once the programs, the tests and the prefix are made)
set -eu
cd "$(dirname "$0")/.."
build_only=""
if [ "${1:-}" = "--build-only" ]; then
  build_only=1
  shift
fi
build="${1:-build-win}"

pkgs="cmake ninja-build gettext g++-mingw-w64-x86-64-posix wine wine64 googletest socat xvfb xauth
librsvg2-bin icoutils imagemagick"
# shellcheck disable=SC2086
scripts/apt-install.sh $pkgs

# Release, optimized as the Linux package is and without debug information: scripts/package.sh
# makes the installer from this tree's programs, stripped.
cmake -S . -B "$build" -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DQ2E_BUILD_BENCH=OFF >/dev/null
targets="text_tests base_tests core_tests ports_tests sheetexport_tests sim_tests ui_headless_test
ui_info_test ui_port_settings_test app_tests win32_excel_tests win32_platform_tests
win32_serial_tests win32_ui_tests win32_cli_tests win32_window_tests win32_e2e_tests quarrow2excel
quarrow2excel-cli"
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets
# The simulated testers run on Linux, from the native build.
[ -f build/build.ninja ] ||
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target quarrow-sim

WINEPREFIX="$(cd "$build" && pwd)/wineprefix"
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
[ -f "$WINEPREFIX/system.reg" ] || scripts/wine-prefix.sh "$WINEPREFIX"
# Xvfb runs no window manager: Wine's managed windows would wait a second at every hide for one.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
[ -z "$build_only" ] || exit 0

ptys="$(mktemp -d)"
socat_pid=""
sim_pids=""
cleanup() {
  [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null || true
  for p in $sim_pids; do kill "$p" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  rm -rf "$ptys"
}
trap cleanup EXIT
socat "pty,raw,echo=0,link=$ptys/a" "pty,raw,echo=0,link=$ptys/b" &
socat_pid=$!
# The testers announce their lines in a runtime folder of their own: FTDI with 25 records at
# 115200 baud, Silicon Laboratories with 7 at 9600 only. The tests know their archives by the
# same records, seed and single values.
mkdir -p "$ptys/run"
XDG_RUNTIME_DIR="$ptys/run" build/tools/sim/quarrow-sim --name ftdi --records 25 --seed 11 \
  2>"$build/sim-ftdi.log" &
sim_pids="$!"
XDG_RUNTIME_DIR="$ptys/run" build/tools/sim/quarrow-sim --name silabs --records 7 --seed 12 \
  --baud 9600 2>"$build/sim-silabs.log" &
sim_pids="$sim_pids $!"
ports="$ptys/run/quarrow2excel/ports"
for _ in $(seq 50); do
  [ -e "$ptys/b" ] && [ -e "$ports/ftdi/tty" ] && [ -e "$ports/silabs/tty" ] && break
  sleep 0.2
done
# Wine's mount manager turns these into COM ports and port-map entries when it starts.
wineserver -k 2>/dev/null || true
if [ -e "$ptys/b" ]; then
  wine reg add 'HKLM\Software\Wine\Ports' /v COM20 /d "$ptys/a" /f >/dev/null 2>&1
  wine reg add 'HKLM\Software\Wine\Ports' /v COM21 /d "$ptys/b" /f >/dev/null 2>&1
  export Q2E_TEST_COM_PAIR=COM20,COM21
else
  echo "test-windows: no pseudo-terminal pair; the serial tests skip" >&2
fi
if [ -e "$ports/ftdi/tty" ] && [ -e "$ports/silabs/tty" ]; then
  wine reg add 'HKLM\Software\Wine\Ports' /v COM22 /d "$(readlink -f "$ports/ftdi/tty")" /f \
    >/dev/null 2>&1
  wine reg add 'HKLM\Software\Wine\Ports' /v COM23 /d "$(readlink -f "$ports/silabs/tty")" /f \
    >/dev/null 2>&1
  export Q2E_E2E_FTDI="COM22 25 11 0" Q2E_E2E_SILABS="COM23 7 12 0"
else
  echo "test-windows: no simulated tester; the end-to-end readings skip" >&2
fi
wineserver -k 2>/dev/null || true

log="$build/test-windows.log"
status=0
wineserver -k 2>/dev/null || true  # the tests' Wine starts anew, on the virtual display
# The end-to-end window test names this file when it shows the archive, and waits for the
# picture.
shot="$(cd "$build" && pwd)/window-dataready.ready"
rm -f "$shot" "$shot.done"
Q2E_E2E_SHOT="Z:$(echo "$shot" | tr / '\\')"
export Q2E_E2E_SHOT
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  (while [ ! -e "$0" ]; do sleep 0.2; done
   import -window root -trim +repage "$1" 2>/dev/null; touch "$0.done") &
  watcher=$!
  # Wine and its services start here, on no output of the tests: a test whose Wine started them
  # would otherwise hold its place in ctest until the last test ended.
  wineserver -p >/dev/null 2>&1 && wine cmd /c exit >/dev/null 2>&1 </dev/null
  ctest --test-dir "$2" -j2 --timeout 300 -V; rc=$?
  wineserver -k 2>/dev/null
  kill "$watcher" 2>/dev/null; exit "$rc"' "$shot" "$build/window-dataready-windows.png" \
  "$build" >"$log" 2>&1 || status=$?
grep -E "(Passed|Failed|\*\*\*)" "$log" | grep -E "^ *[0-9]+/[0-9]+ Test" || true
grep -E "tests passed|tests failed" "$log" || true
awk '
  /\[  PASSED  \] [0-9]+ test/ { for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+$/) { p += $i; break } }
  /\[  FAILED  \] [0-9]+ test/ { for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+$/) { f += $i; break } }
  /\[  SKIPPED \] [0-9]+ test/ { for (i = 1; i <= NF; i++) if ($i ~ /^[0-9]+$/) { s += $i; break } }
  END { printf "windows: %d passed, %d failed, %d skipped\n", p, f, s; exit p == 0 }' "$log" ||
  { echo "test-windows: no test case ran" >&2; status=1; }
[ "$status" -eq 0 ] || { grep -B2 -A12 "Failure" "$log" | head -80; echo "full log: $log"; }
exit "$status"
