#!/usr/bin/env bash
# Installs what the Windows build and its tests need from Debian, when any is missing:
# the mingw-w64 cross compiler with the posix thread model, Wine, and the tools that
# fetch and build the libraries' Debian source packages. The native build's own
# packages (scripts/install-deps.sh) make the show's data.
set -euo pipefail

packages=(
    # cross compiler (posix threads: std::mutex, pthread.h, semaphore.h)
    mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
    # the libraries' source packages and their builds
    dpkg-dev cmake make zip
    # running and testing the .exe
    wine wine64
)

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
$sudo apt-get -o DPkg::Lock::Timeout=900 update -qq
$sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}"
