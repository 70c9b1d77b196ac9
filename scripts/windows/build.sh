#!/usr/bin/env bash
# Builds the show for 64-bit Windows (make windows): build-win/k3lvana.exe, a console program
# with no DLL beside it, and build-win/k3lvana-windows.zip, a folder k3lvana/ holding the exe
# and its data/ folder, ready to unpack and double-click. Installs the cross toolchain and Wine
# when missing, cross-builds the libraries once (build-libs.sh), and makes the data with the
# native build's tools (build/data: the same bytes on every platform).
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"

scripts/windows/install-tools.sh
[ -e build/CMakeCache.txt ] || cmake --preset release >/dev/null
cmake --build build --target data

prefixes=$(scripts/windows/build-libs.sh | paste -sd';')
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefixes" >/dev/null
cmake --build build-win

package=build-win/package/k3lvana
rm -rf build-win/package build-win/k3lvana-windows.zip
mkdir -p "$package/data"
cp build-win/k3lvana.exe "$package/"
cp build/data/*.tga "$package/data/"
(cd build-win/package && zip -qr ../k3lvana-windows.zip k3lvana)
echo "Windows build: build-win/k3lvana.exe ($(stat -c %s build-win/k3lvana.exe) bytes), build-win/k3lvana-windows.zip"
