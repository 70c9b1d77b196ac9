#!/usr/bin/env bash
# Installs what the browser build and its tests need, when any is missing:
# Debian's emscripten and Chromium (the browser that drives the page tests).
set -euo pipefail

packages=(emscripten chromium python3 make cmake)
# npm comes with some Node.js builds (NodeSource's): Debian's npm only where none is on PATH.
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
