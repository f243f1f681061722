#!/bin/sh
# Installs what the tests need, builds everything and runs every test; then the tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer with a short run of each fuzz target; the tests
# of the serial component's threads under ThreadSanitizer; then the Windows build and its tests
# under Wine; then both packages, built and installed.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 300

# The same tests again, built with clang under AddressSanitizer and UndefinedBehaviorSanitizer
# (without the Qt window, whose font library's own allocations the leak checker would report),
# and a short run of each fuzz target (the receive handler, the settings store's file, captured
# readings, mutated from a simulated tester's capture), each bounded in time as well.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQ2E_BUILD_FUZZ=ON -DQ2E_SANITIZE=address,undefined -DQ2E_WITH_QT=OFF -DQ2E_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)"
ctest --test-dir build-fuzz --output-on-failure -j2 --timeout 600
build-fuzz/fuzz/fuzz_reception -runs=200000 -seed=1 -seed_inputs=fuzz/seeds/reception-record-129.bin
build-fuzz/fuzz/fuzz_settings_store -runs=200000 -seed=1 -max_total_time=25
build-fuzz/fuzz/fuzz_capture -runs=20000 -seed=1 -max_total_time=25 \
  -seed_inputs=fuzz/seeds/capture-3-records.bin

# The tests where the serial component's threads meet the owner's (serial, main window, the
# programs end to end), built with clang under ThreadSanitizer.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQ2E_SANITIZE=thread -DQ2E_WITH_QT=OFF -DQ2E_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan -j"$(nproc)" --target serial_tests mainwindow_tests e2e_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -j2 --timeout 600 \
  -E 'NOT_BUILT|LongQuestionAndAnswerExchange'

# The same code on the Win32 APIs: cross-built with MinGW-w64, its tests run under Wine.
scripts/test-windows.sh

# The two packages as a user installs them: the Debian package and the Windows installer.
scripts/test-packages.sh
