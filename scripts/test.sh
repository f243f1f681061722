#!/bin/sh
# Installs what the tests need, builds everything and runs every test; then the tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer with a short run of each fuzz target; the tests
# of the serial component's threads under ThreadSanitizer; then the Windows build and its tests
# under Wine; then both packages, made from those builds and installed. Run as root (as in CI), the
# readings over pseudo-terminals (ctest label as-user) run as an ordinary user, as users run the
# programs. Each tree after the first builds at the lowest priority beside the previous tree's
# tests, whose readings mostly wait on the tester's timing. The time of each stage is printed at
# the end.
#   scripts/test.sh --stage FUNCTION|COMMAND...   runs one stage alone (asan_build, say)
set -eu
cd "$(dirname "$0")/.."
self="$(pwd)/scripts/test.sh"

started=$(date +%s)
times=""
current=""
logs=$(mktemp -d)
stage() {  # NAME COMMAND...: one stage of the test command, timed
  current=$1
  shift
  t0=$(date +%s)
  "$@"
  times="$times$(printf '%-36s %5d s' "$current" $(($(date +%s) - t0)))
"
  current=""
}
# A build beside the stages that follow until joined, niced so that the tests have the processors
# whenever they want them; in a session of its own, so that a failure elsewhere ends all of it.
beside_pid=""
beside() {  # NAME COMMAND...
  beside_name=$1
  shift
  beside_log="$logs/beside.log"
  setsid sh -c 't0=$(date +%s); rc=0; nice -n 19 "$@" >"$0" 2>&1 || rc=$?
    echo "$rc $(($(date +%s) - t0))" >"$0.end"' "$beside_log" "$self" --stage "$@" &
  beside_pid=$!
}
joined() {  # waits for the build beside; shows its output when it failed
  t0=$(date +%s)
  wait "$beside_pid" || true
  beside_pid=""
  read -r rc took <"$beside_log.end"
  rm -f "$beside_log.end"
  times="$times$(printf '%-36s %5d s  beside, then waited %d s' "$beside_name" "$took" \
    $(($(date +%s) - t0)))
"
  if [ "$rc" -ne 0 ]; then
    cat "$beside_log"
    current="$beside_name"
    exit "$rc"
  fi
}
print_times() {
  [ -z "$beside_pid" ] || kill -- "-$beside_pid" 2>/dev/null || true
  [ -z "$current" ] || times="$times$(printf '%-36s %5d s  failed' "$current" $(($(date +%s) - t0)))
"
  printf '\nstage times:\n%s%-36s %5d s\n' "$times" "total" $(($(date +%s) - started))
  rm -rf "$logs"
}
trap print_times EXIT

# The ordinary user the readings run as, when this runs as root; its home is its own.
tester=""
add_tester() {
  [ "$(id -u)" -eq 0 ] || return 0
  tester=quarrow-tester
  id -u "$tester" >/dev/null 2>&1 || useradd --create-home --user-group --shell /bin/sh "$tester"
}

# Runs a tree's tests; as root, those labelled as-user run as the tester, in a second ctest over
# the same tree (the tree needs to be readable to the tester, its Testing folder writable).
run_tests() {  # BUILD_DIR CTEST_ARGS...
  dir=$1
  shift
  if [ -z "$tester" ]; then
    ctest --test-dir "$dir" --output-on-failure "$@"
    return
  fi
  rc=0
  ctest --test-dir "$dir" --output-on-failure -LE as-user "$@" || rc=$?
  let_tester_in "$dir"
  runuser -u "$tester" -- env -u XDG_RUNTIME_DIR \
    ctest --test-dir "$dir" --output-on-failure -L as-user "$@" || rc=$?
  return "$rc"
}
let_tester_in() {  # BUILD_DIR
  mkdir -p "$1/Testing/Temporary"
  chown -R "$tester" "$1/Testing"
  # A checkout in a folder closed to others (root's home) is opened to the tester alone.
  d=$(cd "$1" && pwd)
  while [ "$d" != / ]; do
    if ! runuser -u "$tester" -- test -x "$d"; then
      command -v setfacl >/dev/null || scripts/apt-install.sh acl
      setfacl -m "u:$tester:x" "$d"
    fi
    d=$(dirname "$d")
  done
}

linux_tests() {
  run_tests build -j2 --timeout 300
}

# The same tests again, built with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# (without the Qt window, whose font library's own allocations the leak checker would report),
# and a short run of each fuzz target (the receive handler, the settings store's file, captured
# readings, mutated from a simulated tester's capture), each bounded in time as well.
# Sanitizer trees are optimized lightly (and keep line tables only, enough for their reports to
# name the lines): they build a good deal faster than with -O2 and full debug information.
sanitizer_flags="-O1 -DNDEBUG"
asan_build() {
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$sanitizer_flags" -DCMAKE_CXX_COMPILER=clang++ \
    -DQ2E_BUILD_FUZZ=ON -DQ2E_SANITIZE=address,undefined -DQ2E_WITH_QT=OFF -DQ2E_BUILD_BENCH=OFF \
    >/dev/null
  cmake --build build-fuzz -j"$(nproc)"
}
asan_tests() {
  LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp"
  export LSAN_OPTIONS
  run_tests build-fuzz -j2 --timeout 600
}
fuzz_runs() {
  build-fuzz/fuzz/fuzz_reception -runs=200000 -seed=1 -seed_inputs=fuzz/seeds/reception-record-129.bin
  build-fuzz/fuzz/fuzz_settings_store -runs=200000 -seed=1 -max_total_time=25
  build-fuzz/fuzz/fuzz_capture -runs=20000 -seed=1 -max_total_time=25 \
    -seed_inputs=fuzz/seeds/capture-3-records.bin
}

# The tests where the serial component's threads meet the owner's (serial, main window, the
# programs end to end), built with clang under ThreadSanitizer.
tsan_build() {
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$sanitizer_flags" -DCMAKE_CXX_COMPILER=clang++ \
    -DQ2E_SANITIZE=thread -DQ2E_WITH_QT=OFF -DQ2E_BUILD_BENCH=OFF >/dev/null
  cmake --build build-tsan -j"$(nproc)" --target serial_tests mainwindow_tests e2e_tests
}
tsan_tests() {
  TSAN_OPTIONS=halt_on_error=1
  export TSAN_OPTIONS
  run_tests build-tsan -j2 --timeout 600 \
    -E 'NOT_BUILT|LongQuestionAndAnswerExchange'
}

dependencies() {
  scripts/install-deps.sh --tests
  add_tester
}

export QT_QPA_PLATFORM=offscreen
if [ "${1:-}" = "--stage" ]; then
  trap - EXIT
  rm -rf "$logs"
  shift
  add_tester
  "$@"
  exit
fi
stage "dependencies, locales, test user" dependencies
stage "build (also the Debian package's)" scripts/build.sh --package
beside "ASan/UBSan build" asan_build
stage "tests" linux_tests
joined
beside "TSan build" tsan_build
stage "ASan/UBSan tests" asan_tests
stage "fuzz runs" fuzz_runs
joined
# The same code on the Win32 APIs: cross-built with MinGW-w64, its tests run under Wine.
beside "Windows build" scripts/test-windows.sh --build-only
stage "TSan tests" tsan_tests
joined
stage "Windows tests" scripts/test-windows.sh
# The two packages as a user installs them: the Debian package and the Windows installer.
stage "packages, made and checked" scripts/test-packages.sh
