#!/usr/bin/env bash
# Makes the releases into dist/ (make dist), named by the version git describe gives
# (packaging/version.cmake):
#   k3lvana_VERSION_amd64.deb        the Debian package (CPack, packaging/release.cmake)
#   k3lvana-VERSION-windows.zip      k3lvana/: the exe, data/, README.txt (scripts/windows/build.sh)
#   k3lvana-VERSION-web.zip          k3lvana-VERSION-web/: the page for any static host (scripts/web/build.sh)
#   k3lvana-VERSION.mp4              the show at 1280 x 720, 60 frames a second, and
#   k3lvana-VERSION-storyboard.png   its storyboard (the capture)
#   SHA256SUMS
# Installs what is missing. K3L_DIST_NO_VIDEO=1 leaves the video and storyboard out (they take
# the longest: the whole show rendered at 1280 x 720 and 60 frames a second).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
out=$top/dist

scripts/install-deps.sh --show
cmake --preset release >/dev/null
cmake --build build
version=$(cat build/packaging/version)
rm -rf "$out"
mkdir -p "$out"
(cd build && cpack -G DEB >/dev/null)

# README.txt for an archive: $1 the flavour, $2 how to start it, $3 what it needs.
readme() {
    awk -v version="$version" -v flavour="$1" -v how="$2" -v needs="$3" '
        { gsub("@VERSION@", version); gsub("@FLAVOUR@", flavour)
          if ($0 == "@HOW@") $0 = how; if ($0 == "@NEEDS@") $0 = needs; print }' packaging/README.txt.in
}

scripts/windows/build.sh
stage=$(mktemp -d /tmp/k3l-dist.XXXXXX)
trap 'rm -rf "$stage"' EXIT
cp -r build-win/package/k3lvana "$stage/k3lvana"
readme "Windows" "Unpack the zip and double-click k3lvana.exe in the k3lvana folder, or run it
from a command prompt: it reads the data folder beside it, so a shortcut to it needs no
\"start in\" folder. k3lvana.exe --window plays it in its window instead of full screen;
k3lvana.exe --help lists the options." \
    "64-bit Windows with an OpenGL graphics driver." >"$stage/k3lvana/README.txt"
(cd "$stage" && zip -qrX "$out/k3lvana-$version-windows.zip" k3lvana)

scripts/web/build.sh
site=k3lvana-$version-web
cp -r build-web "$stage/$site"
readme "for the browser" "Put the folder $site on any static web server as it is (no server settings
are needed: the large files are gzip-compressed and the page unpacks them itself) and open
its index.html through the server, then click or tap the page to start (the browser asks for
a click before it plays sound or goes full screen). To try it on your own machine:
    cd $site && python3 -m http.server 8080
and open http://127.0.0.1:8080/ . Opening index.html straight from the disk does not work
(the page says so): browsers load the data only over HTTP." \
    "A browser with WebGL and WebAssembly (tested in Chromium)." >"$stage/$site/README.txt"
(cd "$stage" && zip -qrX "$out/$site.zip" "$site")

if [ "${K3L_DIST_NO_VIDEO:-0}" != 1 ]; then
    (cd build && ./k3lvana-capture --size 1280x720 --fps 60 --quiet -o "$out/k3lvana-$version.mp4" \
        --storyboard "$out/k3lvana-$version-storyboard.png")
fi
(cd "$out" && sha256sum -- * >SHA256SUMS.tmp && mv SHA256SUMS.tmp SHA256SUMS)
echo "Releases of $version in $out:"
ls -l "$out"
