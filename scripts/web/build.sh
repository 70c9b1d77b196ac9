#!/usr/bin/env bash
# Builds the show for the browser into build-web/, a static folder any web server can host
# as plain files: index.html, which fetches the rest and says how far it is; the show's code
# k3lvana.js.gz and k3lvana.wasm.gz; and the show's data (the images and module the desktop
# build makes, in build/data) packed as k3lvana.data.gz and data.js (scripts/web/pack-data.sh).
# The three large files are gzip-compressed: the page unpacks them itself as they arrive, so no
# server setting is needed.
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
cp src/platform/web/index.html "$site/"
for file in k3lvana.js k3lvana.wasm; do
    gzip -9 -n -c "build-wasm/$file" >"$site/$file.gz"
done
scripts/web/pack-data.sh build/data "$site"
echo "The show for the browser: $top/$site (make serve-web serves it)"
