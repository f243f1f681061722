#!/bin/sh
# Configures and builds into build/ (release with debug information). Extra arguments go to cmake.
# Usage: scripts/build.sh [--package] [CMAKE_ARGS...]
#   --package: with Debian's hardening flags and what the Debian package installs beside the
#   programs, so that scripts/package.sh packs this tree (the test command builds so); optimized as
#   Debian builds, without debug information.
# Q2E_BUILD_DIR names another tree than build/.
set -eu
cd "$(dirname "$0")/.."
dir="${Q2E_BUILD_DIR:-build}"
if [ "${1:-}" = "--package" ]; then
  shift
  scripts/apt-install.sh dpkg-dev librsvg2-bin
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  # The package strips its programs, so their debug information would be made for nothing.
  cxxflags=$(dpkg-buildflags --get CXXFLAGS | sed 's/^-g //; s/ -g / /g; s/ -g$//')
  set -- -DQ2E_PACKAGE=ON -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $cxxflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" "$@"
else
  set -- -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
