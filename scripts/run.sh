#!/usr/bin/env bash
# Plays the show from build/ on the X display when there is one. Without a
# display, renders it to build/k3lvana.mp4 (and a storyboard) with the capture,
# which needs neither a display nor a sound device. Extra arguments go to the
# program that runs.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top/build"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec ./k3lvana "$@"
fi

echo "No X display here: rendering the show to a video file instead (two or three minutes)."
./k3lvana-capture -o k3lvana.mp4 --storyboard k3lvana-storyboard.png "$@"
cat <<EOT

The show, with its music:  $top/build/k3lvana.mp4
Its storyboard:            $top/build/k3lvana-storyboard.png
Watch it with any video player, e.g.  ffplay build/k3lvana.mp4  or  mpv build/k3lvana.mp4
EOT
