#!/usr/bin/env bash
# Runs a test program as a user meets the screens: on an X server of its own (Xvfb) with a window
# manager (openbox), through Qt's X11 platform.
#   x11-session.sh PROGRAM [ARGS...]
set -euo pipefail
for tool in xvfb-run openbox xdotool xwd; do
    command -v "$tool" >/dev/null || { echo "x11-session: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
    ready=$(mktemp -u)
    openbox --startup "touch $ready" >/dev/null 2>&1 &
    wm=$!
    for _ in $(seq 100); do [ -e "$ready" ] && break; sleep 0.1; done
    [ -e "$ready" ] || { echo "x11-session: the window manager did not start" >&2; exit 1; }
    rm -f "$ready"
    status=0
    QT_QPA_PLATFORM=xcb timeout 120 "$@" || status=$?
    kill "$wm" 2>/dev/null || true
    exit "$status"
' x11-session "$@"
