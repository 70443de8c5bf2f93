#!/usr/bin/env bash
# Runs a test program on an X server of its own (Xvfb) with a window manager (openbox), through Qt's X11
# platform:  x11-session.sh PROGRAM [ARGS...]
set -euo pipefail
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
    ready=$(mktemp -u)
    openbox --startup "touch $ready" >/dev/null 2>&1 &
    for _ in $(seq 100); do [ -e "$ready" ] && break; sleep 0.1; done
    [ -e "$ready" ] || { echo "x11-session: the window manager did not start" >&2; exit 1; }
    rm -f "$ready"
    QT_QPA_PLATFORM=xcb timeout 120 "$@"
' x11-session "$@"
