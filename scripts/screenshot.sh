#!/usr/bin/env bash
# Makes every picture of the documentation (docs/*.png, or into the folder given): Tagsmith is started in
# a scratch folder under Xvfb with a window manager, so that windows show their title bars, and driven
# as a user drives it (see tools/screenshots.cpp).
#   scripts/screenshot.sh [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs}"
scripts/install-deps.sh openbox
scripts/build.sh >/dev/null
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 1
    status=0
    QT_QPA_PLATFORM=xcb "$@" || status=$?
    kill "$wm" 2>/dev/null || true
    exit "$status"
' shot "${BUILD_DIR:-build}/tests/tagsmith-screenshots" "$out"
echo "Saved the pictures in $out"
