#!/usr/bin/env bash
# Takes a picture of Tagsmith for the documentation, under Xvfb with a window manager, so that the
# frame's title bar and caption show.
#   scripts/screenshot.sh docs/frame.png
#   scripts/screenshot.sh docs/format-nl.png --dutch --screen FrmTsSet
#   scripts/screenshot.sh docs/popup.png --message 1030,1032
# Every option after the file name goes to build/tagsmith-shot (see src/frame/shot.cpp).
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -ge 1 ] || { echo "usage: $0 OUTPUT.png [tagsmith-shot options]" >&2; exit 2; }
scripts/install-deps.sh openbox
scripts/build.sh >/dev/null
out="$1"
shift
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 1
    status=0
    QT_QPA_PLATFORM=xcb "$@" || status=$?
    kill "$wm" 2>/dev/null || true
    exit "$status"
' shot "${BUILD_DIR:-build}/tagsmith-shot" --window-frame "$out" "$@"
echo "Saved $out"
