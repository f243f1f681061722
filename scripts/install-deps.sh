#!/bin/sh
# Installs what building, running and testing Quarrow2Excel needs on Debian 12.
# Usage: scripts/install-deps.sh [--tests]   (--tests adds what only the test run needs)
set -eu
pkgs="build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libxlsxwriter-dev zlib1g-dev \
libgtest-dev libgmock-dev xdg-utils"
if [ "${1:-}" = "--tests" ]; then
  pkgs="$pkgs clang libclang-rt-14-dev gnumeric unzip"
fi
missing=""
for p in $pkgs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends $missing
fi
