#!/bin/sh
# Installs what the tests need, builds everything and runs every test, then a short run of the
# fuzz target under AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows build and
# its tests under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 300

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DQ2E_BUILD_FUZZ=ON -DQ2E_SANITIZE=address,undefined -DQ2E_WITH_QT=OFF -DQ2E_BUILD_BENCH=OFF -DQ2E_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz --target fuzz_reception -j"$(nproc)"
build-fuzz/fuzz/fuzz_reception -runs=200000 -seed=1

# The same code on the Win32 APIs: cross-built with MinGW-w64, its tests run under Wine.
scripts/test-windows.sh
