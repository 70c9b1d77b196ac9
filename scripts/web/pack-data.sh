#!/usr/bin/env bash
# Packs a folder of the show's data (its images and module) for the page, into a site folder:
# emscripten's file_packager makes k3lvana.data (the files end to end) and data.js (which
# unpacks them into the show's file system under data/); k3lvana.data is then gzip-compressed
# into k3lvana.data.gz, which the page unpacks as it arrives (DecompressionStream).
# The build packs build/data with it; the web tests pack their own test data the same way.
#   pack-data.sh DATA_DIR SITE_DIR
set -euo pipefail
data=$(cd "$1" && pwd)
site=$(cd "$2" && pwd)
work=$(mktemp -d /tmp/k3l-pack.XXXXXX)
trap 'rm -rf "$work"' EXIT
# (Its notes go to a log, shown only when it fails.)
if ! (cd "$(dirname "$data")" && python3 /usr/share/emscripten/tools/file_packager.py "$work/k3lvana.data" \
          --preload "$(basename "$data")@data" --js-output="$work/data.js" --no-node) >"$work/log" 2>&1; then
    cat "$work/log" >&2
    exit 1
fi
gzip -9 -n -c "$work/k3lvana.data" >"$site/k3lvana.data.gz"
mv "$work/data.js" "$site/data.js"
