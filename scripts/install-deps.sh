#!/bin/sh
# Installs what building, running and testing Quarrow2Excel needs on Debian 12.
# Usage: scripts/install-deps.sh [--tests]   (--tests adds what only the test run needs, and the
# German and Russian locales the tests also run in)
set -eu
pkgs="build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libxlsxwriter-dev zlib1g-dev \
libsqlite3-dev libgtest-dev libgmock-dev xdg-utils gettext qt6-translations-l10n libhpdf-dev fonts-dejavu-core"
if [ "${1:-}" = "--tests" ]; then
  pkgs="$pkgs clang libclang-rt-14-dev gnumeric unzip locales libreoffice-calc-nogui poppler-utils qpdf"
fi
# shellcheck disable=SC2086
"$(dirname "$0")/apt-install.sh" $pkgs
if [ "${1:-}" = "--tests" ]; then
  for l in de_DE ru_RU; do
    locale -a | grep -qx "$l.utf8" || localedef -i "$l" -f UTF-8 "$l.UTF-8"
  done
fi
