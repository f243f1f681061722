#!/bin/sh
# Builds the release packages into dist/: the Debian package quarrow2excel_<version>_amd64.deb
# (CPack's DEB generator) and the Windows installer quarrow2excel-<version>-setup.exe (NSIS).
# Release builds go to build-pkg/ and build-win-pkg/; a second run rebuilds only what changed.
set -eu
cd "$(dirname "$0")/.."
start=$(date +%s)
scripts/install-deps.sh
scripts/apt-install.sh dpkg-dev librsvg2-bin icoutils nsis g++-mingw-w64-x86-64-posix ninja-build \
  fonts-dejavu-core
mkdir -p dist

# Debian's hardening flags, all of them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
cmake -S . -B build-pkg -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQ2E_PACKAGE=ON -DQ2E_BUILD_TESTS=OFF -DQ2E_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS="$cflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build-pkg -j2
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-pkg/CMakeCache.txt)
rm -f build-pkg/dist/*.deb
(cd build-pkg && cpack -G DEB >/dev/null)
cp build-pkg/dist/"quarrow2excel_${version}_amd64.deb" dist/

cmake -S . -B build-win-pkg -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DQ2E_BUILD_TESTS=OFF -DQ2E_BUILD_BENCH=OFF >/dev/null
cmake --build build-win-pkg -j2 --target quarrow2excel quarrow2excel-cli
stage=build-win-pkg/stage
rm -rf "$stage" && mkdir -p "$stage"
for exe in quarrow2excel quarrow2excel-cli; do
  x86_64-w64-mingw32-strip -o "$stage/$exe.exe" "build-win-pkg/src/app/$exe.exe"
  echo "$exe.exe: $(stat -c %s "build-win-pkg/src/app/$exe.exe") bytes, stripped $(stat -c %s "$stage/$exe.exe")"
done
# The PDF protocol's font and its licence go beside the programs.
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$stage/"
cp /usr/share/doc/fonts-dejavu-core/copyright "$stage/DejaVuSans-LICENSE.txt"
version4=$(echo "$version.0.0.0" | cut -d. -f1-4)
here=$(pwd)  # makensis reads paths from the script's folder
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DVERSION4="$version4" -DBIN_DIR="$here/$stage" \
  -DICON="$here/build-win-pkg/src/app/icon/quarrow2excel.ico" -DLICENSE_FILE="$here/LICENSE" \
  -DOUT_FILE="$here/dist/quarrow2excel-${version}-setup.exe" packaging/windows/quarrow2excel.nsi

for f in "dist/quarrow2excel_${version}_amd64.deb" "dist/quarrow2excel-${version}-setup.exe"; do
  echo "$f: $(stat -c %s "$f") bytes"
done
echo "package: $(($(date +%s) - start)) s"
