#!/usr/bin/env bash
# Installs the Debian packages of a group when any is missing:
#   scripts/install-deps.sh --show   building and playing the show (make build, make run)
#   scripts/install-deps.sh --test   those and the tests', benchmarks' and fuzzing's tools (make test, CI);
#                                    the default
#   scripts/install-deps.sh NAME...  those packages (the Windows and browser builds' tools)
set -euo pipefail

# Building the show, its data and the capture, and playing it (run.sh asks xdpyinfo for a display;
# without one it renders a video with ffmpeg).
show_packages=(
    cmake g++ make pkg-config
    freeglut3-dev libx11-dev libxfixes-dev libglu1-mesa-dev libgl-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
    libopenmpt-dev portaudio19-dev libasound2-dev libjack-jackd2-dev libasound2-plugins
    libfreetype-dev fonts-dejavu-core libpng-dev
    x11-utils ffmpeg
)
# The tests and benchmarks (a private X server and sound server, window and sound probes), the
# fault tests (setpriv runs the show as another user), full screen under a window manager (openbox),
# the releases' checks (lintian, unzip), fuzzing (clang's libFuzzer and sanitizer runtimes,
# llvm-symbolizer for readable reports, llvm-cov for coverage).
test_packages=(
    libgtest-dev libbenchmark-dev xvfb xauth xdotool openbox x11-apps pulseaudio pulseaudio-utils sox
    util-linux clang libclang-rt-14-dev llvm lintian unzip
)

case "${1:---test}" in
--show) packages=("${show_packages[@]}") ;;
--test) packages=("${show_packages[@]}" "${test_packages[@]}") ;;
-*) echo "usage: $0 [--show | --test | PACKAGE...]" >&2; exit 2 ;;
*) packages=("$@") ;;
esac

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
