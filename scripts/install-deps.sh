#!/usr/bin/env bash
# Installs what Tagsmith needs to build and test on Debian 12, when it is not there yet.
#   scripts/install-deps.sh [--build-only] [PACKAGE...]
# --build-only installs what building the programs and their Debian package needs, not the test tools
# (a browser, an X server, lintian ...). Extra package names given as arguments are installed too (the
# screenshot script adds its own).
set -euo pipefail

# Building: the compiler, the libraries, and what the build runs or reads (the encoding standard's index
# tables turned into C++ by Python, icons, manual pages, the checks of the desktop files that configuring
# asks for, dpkg-shlibdeps for the package).
build_packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6
    libsqlite3-dev libdtl-dev libxcb1-dev zlib1g-dev liblz4-dev libxxhash-dev libssl-dev
    libxml2-dev
    libicu-dev
    libjs-text-encoding python3
    librsvg2-bin help2man desktop-file-utils appstream dpkg-dev file
)
# Testing: mutation runs, the browser checks, the screens on an X server of their own, the package's check.
test_packages=(
    patch
    xvfb xauth openbox xdotool x11-apps netpbm
    chromium
    lintian
)

packages=("${build_packages[@]}")
if [ "${1:-}" = "--build-only" ]; then
    shift
else
    packages+=("${test_packages[@]}")
fi
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! $sudo apt-get install -y --no-install-recommends "${missing[@]}"; then
    $sudo apt-get update
    $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
