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

"$(dirname "$0")/../install-deps.sh" "${packages[@]}"
