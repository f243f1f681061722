#!/bin/sh
# Configures and builds into build/ (Release with debug info). Extra arguments go to cmake.
# Usage: scripts/build.sh [--package] [CMAKE_ARGS...]
#   --package: with Debian's hardening flags and what the Debian package installs beside the
#   programs, so that scripts/package.sh packs this tree (the test command builds so).
# Q2E_BUILD_DIR names another tree than build/.
set -eu
cd "$(dirname "$0")/.."
dir="${Q2E_BUILD_DIR:-build}"
if [ "${1:-}" = "--package" ]; then
  shift
  scripts/apt-install.sh dpkg-dev librsvg2-bin
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  set -- -DQ2E_PACKAGE=ON -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" "$@"
fi
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
