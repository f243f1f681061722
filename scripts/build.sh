#!/bin/sh
# Configures and builds into build/ (Release with debug info). Extra arguments go to cmake.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build -j"$(nproc)"
