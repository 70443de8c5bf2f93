#!/usr/bin/env bash
# Builds the Debian package of Tagsmith, tagsmith_VERSION_ARCH.deb, in build/ (or $BUILD_DIR).
# Install it with: sudo apt install ./build/tagsmith_*.deb
# The programs are built for it in a folder of their own, build/package/ (or $PACKAGE_BUILD_DIR), with the
# flags of dpkg-buildflags (hardening); the build of the tests in build/ keeps its own flags. Arguments go
# to cmake's configuring of that folder.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build}"
package_dir="${PACKAGE_BUILD_DIR:-$build_dir/package}"
scripts/install-deps.sh --build-only
cmake -S . -B "$package_dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
    -DTAGSMITH_DPKG_BUILDFLAGS=ON "$@"
# Only what the package holds: the two programs, their icons, manual pages and changelog.
cmake --build "$package_dir" --parallel "$(nproc)" --target tagsmith tagsmith-batch tagsmith_desktop_files
rm -rf "$package_dir/deb"
(cd "$package_dir" && cpack -G DEB -B "$PWD/deb")
mkdir -p "$build_dir"
cp "$package_dir"/deb/tagsmith_*.deb "$build_dir"/
ls "$build_dir"/tagsmith_*.deb
