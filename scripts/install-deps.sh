#!/bin/sh
# Installs what building, running and testing Quarrow2Excel needs on Debian 12.
# Usage: scripts/install-deps.sh [--tests]   (--tests adds what only the test run needs, the
# Windows build and the packages included, and the German and Russian locales the tests also run
# in)
set -eu
pkgs="build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libxlsxwriter-dev zlib1g-dev \
libsqlite3-dev libgtest-dev libgmock-dev xdg-utils gettext qt6-translations-l10n libhpdf-dev fonts-dejavu-core"
if [ "${1:-}" = "--tests" ]; then
  pkgs="$pkgs clang libclang-rt-14-dev gnumeric unzip locales libreoffice-calc-nogui poppler-utils qpdf acl"
  # The Windows build and its tests under Wine, and both packages: all in one go here, since the
  # test command's later stages run beside each other and apt takes one caller at a time.
  pkgs="$pkgs g++-mingw-w64-x86-64-posix libz-mingw-w64-dev tcl make wine wine64 googletest socat \
xvfb xauth librsvg2-bin icoutils imagemagick dpkg-dev nsis lintian appstream desktop-file-utils file \
man-db binutils"
fi
# shellcheck disable=SC2086
"$(dirname "$0")/apt-install.sh" $pkgs
if [ "${1:-}" = "--tests" ]; then
  for l in de_DE ru_RU; do
    locale -a | grep -qx "$l.utf8" || localedef -i "$l" -f UTF-8 "$l.UTF-8"
  done
fi
