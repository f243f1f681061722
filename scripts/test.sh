#!/bin/sh
# Installs what the tests need, builds everything and runs every test.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh --tests
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 300
