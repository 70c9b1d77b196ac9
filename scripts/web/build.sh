#!/usr/bin/env bash
# Builds the show for the browser into build-web/, a static folder any web server can host:
# index.html, k3lvana.js and k3lvana.wasm, and the show's data (the images and module the
# desktop build makes, in build/data) packed as k3lvana.data, which data.js loads before main.
# Installs what is missing: Debian's emscripten and Chromium, and libopenmpt for WebAssembly,
# built once into ~/.cache/k3lvana. The CMake tree of the wasm build is build-wasm/.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
site=build-web

scripts/web/install-tools.sh
# emscripten's JavaScript tools need Debian's node modules (acorn) on node's path.
export NODE_PATH=/usr/share/nodejs
openmpt=$(scripts/web/libopenmpt-wasm.sh)

cmake --preset release >/dev/null
cmake --build build --target data
emcmake cmake -S . -B build-wasm -DCMAKE_BUILD_TYPE=Release -DK3L_OPENMPT_WASM="$openmpt" >/dev/null
cmake --build build-wasm

rm -rf "$site"
mkdir -p "$site"
cp build-wasm/k3lvana.js build-wasm/k3lvana.wasm src/platform/web/index.html "$site/"
(cd build && python3 /usr/share/emscripten/tools/file_packager.py "../$site/k3lvana.data" --preload data@data --lz4 \
    --js-output="../$site/data.js" --no-node >/dev/null)
echo "The show for the browser: $top/$site (make serve-web serves it)"
