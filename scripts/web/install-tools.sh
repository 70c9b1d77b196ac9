#!/usr/bin/env bash
# Installs what the browser build and its tests need, when any is missing:
# Debian's emscripten and Chromium (the browser that drives the page tests).
set -euo pipefail

packages=(emscripten chromium python3 make cmake)
# npm comes with some Node.js builds (NodeSource's): Debian's npm only where none is on PATH.
command -v npm >/dev/null 2>&1 || packages+=(npm)

"$(dirname "$0")/../install-deps.sh" "${packages[@]}"
