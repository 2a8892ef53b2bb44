#!/usr/bin/env bash
# Runs a command on a private X server with a window manager, as on an operator's desktop:
#   tools/xsession.sh WIDTHxHEIGHT command [arguments...]
# The server picks a free display itself, so that sessions can run side by side.
set -euo pipefail
size=$1
shift
displayfile=$(mktemp)
wm=""
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $wm $xvfb 2>/dev/null || true; rm -f "$displayfile"' EXIT
for _ in $(seq 100); do
    [ -s "$displayfile" ] && break
    sleep 0.05
done
export DISPLAY=:$(head -n 1 "$displayfile")
openbox >/dev/null 2>&1 &
wm=$!
# The window manager is ready when it has claimed the screen.
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done
XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)} "$@"
