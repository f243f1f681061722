#!/bin/sh
# Cross-builds the portable code and the Windows platform files with MinGW-w64 and runs the
# Windows test programs under Wine. Configuring builds libxlsxwriter for MinGW-w64 once into the
# build folder (scripts/build-xlsxwriter-mingw.sh). Two linked pseudo-terminals, served by Wine
# as COM20 and COM21, carry the serial tests and the reader's test over real Windows serial
# ports. The window tests get a display of their own from Xvfb.
# Usage: scripts/test-windows.sh [BUILD_DIR]   (default build-win; its Wine prefix lives inside)
set -eu
cd "$(dirname "$0")/.."
build="${1:-build-win}"

pkgs="cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 googletest socat xvfb xauth"
# shellcheck disable=SC2086
scripts/apt-install.sh $pkgs

cmake -S . -B "$build" -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DQ2E_BUILD_BENCH=OFF >/dev/null
targets="base_tests core_tests ports_tests sheetexport_tests sim_tests ui_headless_test
ui_info_test app_tests win32_excel_tests win32_platform_tests win32_serial_tests win32_ui_tests
win32_cli_tests win32_window_tests quarrow2excel quarrow2excel-cli"
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets

WINEPREFIX="$(cd "$build" && pwd)/wineprefix"
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
# Xvfb runs no window manager: Wine's managed windows would wait a second at every hide for one.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

ptys="$(mktemp -d)"
socat_pid=""
cleanup() {
  [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  rm -rf "$ptys"
}
trap cleanup EXIT
socat "pty,raw,echo=0,link=$ptys/a" "pty,raw,echo=0,link=$ptys/b" &
socat_pid=$!
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -e "$ptys/b" ] && break; sleep 0.2; done
if [ -e "$ptys/b" ]; then
  # Wine's mount manager turns these into COM ports and port-map entries when it starts.
  wineserver -k 2>/dev/null || true
  wine reg add 'HKLM\Software\Wine\Ports' /v COM20 /d "$ptys/a" /f >/dev/null 2>&1
  wine reg add 'HKLM\Software\Wine\Ports' /v COM21 /d "$ptys/b" /f >/dev/null 2>&1
  wineserver -k 2>/dev/null || true
  export Q2E_TEST_COM_PAIR=COM20,COM21
else
  echo "test-windows: no pseudo-terminal pair; the serial tests skip" >&2
fi

log="$build/test-windows.log"
status=0
wineserver -k 2>/dev/null || true  # the tests' Wine starts anew, on the virtual display
xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$build" -j2 --timeout 300 -V >"$log" 2>&1 ||
  status=$?
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
