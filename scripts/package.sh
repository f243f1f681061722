#!/bin/sh
# Builds the release packages into dist/: the Debian package quarrow2excel_<version>_amd64.deb
# (CPack's DEB generator) and the Windows installer quarrow2excel-<version>-setup.exe (NSIS), whose
# stripped programs stay in dist/windows/.
# The packages come from the test command's trees when they are there: build/ as
# `scripts/build.sh --package` makes it and build-win/ as scripts/test-windows.sh makes it (both
# release builds, stripped here). Otherwise release trees of their own are built into
# build-pkg/ and build-win-pkg/; a second run rebuilds only what changed.
set -eu
cd "$(dirname "$0")/.."
start=$(date +%s)
scripts/install-deps.sh
scripts/apt-install.sh dpkg-dev librsvg2-bin icoutils nsis g++-mingw-w64-x86-64-posix ninja-build \
  fonts-dejavu-core
version=$(sed -n 's/^project(Quarrow2Excel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
mkdir -p dist

linux=build
if ! grep -qx 'Q2E_PACKAGE:BOOL=ON' build/CMakeCache.txt 2>/dev/null; then
  linux=build-pkg
  Q2E_BUILD_DIR=$linux scripts/build.sh --package -DQ2E_BUILD_TESTS=OFF -DQ2E_BUILD_BENCH=OFF
fi
rm -f "$linux"/dist/*.deb
# CPack strips the programs it packs.
(cd "$linux" && cpack -G DEB >/dev/null)
cp "$linux/dist/quarrow2excel_${version}_amd64.deb" dist/

win=build-win
if ! grep -qx 'CMAKE_BUILD_TYPE:STRING=Release' build-win/CMakeCache.txt 2>/dev/null; then
  win=build-win-pkg
  cmake -S . -B "$win" -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DQ2E_BUILD_TESTS=OFF \
    -DQ2E_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$win" -j2 --target quarrow2excel quarrow2excel-cli
stage=dist/windows
rm -rf "$stage" && mkdir -p "$stage"
for exe in quarrow2excel quarrow2excel-cli; do
  x86_64-w64-mingw32-strip -o "$stage/$exe.exe" "$win/src/app/$exe.exe"
  echo "$exe.exe: $(stat -c %s "$win/src/app/$exe.exe") bytes, stripped $(stat -c %s "$stage/$exe.exe")"
done
# The PDF protocol's font and its licence go beside the programs.
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$stage/"
cp /usr/share/doc/fonts-dejavu-core/copyright "$stage/DejaVuSans-LICENSE.txt"
version4=$(echo "$version.0.0.0" | cut -d. -f1-4)
here=$(pwd)  # makensis reads paths from the script's folder
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DVERSION4="$version4" -DBIN_DIR="$here/$stage" \
  -DICON="$here/$win/src/app/icon/quarrow2excel.ico" -DLICENSE_FILE="$here/LICENSE" \
  -DOUT_FILE="$here/dist/quarrow2excel-${version}-setup.exe" packaging/windows/quarrow2excel.nsi

for f in "dist/quarrow2excel_${version}_amd64.deb" "dist/quarrow2excel-${version}-setup.exe"; do
  echo "$f: $(stat -c %s "$f") bytes"
done
echo "package: from $linux and $win in $(($(date +%s) - start)) s"
