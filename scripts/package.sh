#!/usr/bin/env bash
# Builds the Debian package of Tagsmith, tagsmith_VERSION_ARCH.deb, in build/ (or $BUILD_DIR).
# Install it with: sudo apt install ./build/tagsmith_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build}"
scripts/install-deps.sh
scripts/build.sh "$@"
(cd "$build_dir" && cpack -G DEB)
ls "$build_dir"/tagsmith_*.deb
