#!/usr/bin/env bash
# Installs the Debian packages the build, the show and the tests need, when any is missing;
# given package names, installs those instead (the Windows and browser builds' tools).
set -euo pipefail

packages=("$@")
[ $# -gt 0 ] || packages=(
    # build
    cmake g++ make pkg-config
    # show
    freeglut3-dev libx11-dev libxfixes-dev libglu1-mesa-dev libgl-dev libegl-dev libegl-mesa0 libgl1-mesa-dri
    libopenmpt-dev portaudio19-dev libasound2-dev libjack-jackd2-dev libasound2-plugins
    # data tools
    libfreetype-dev fonts-dejavu-core libpng-dev
    # tests and benchmarks
    libgtest-dev libbenchmark-dev xvfb xauth xdotool x11-utils x11-apps
    pulseaudio pulseaudio-utils ffmpeg sox
    # fault tests (setpriv runs the show as another user), fuzzing (clang's libFuzzer and
    # sanitizer runtimes, llvm-symbolizer for readable reports, llvm-cov for coverage)
    util-linux clang libclang-rt-14-dev llvm
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
