#!/usr/bin/env bash
# Runs a command on a private X server with a window manager, as on an operator's desktop:
#   tests/desktop/xsession.sh WIDTHxHEIGHT command [arguments...]
# The server picks a free display itself and names it once it takes clients, so that sessions
# can run side by side.
set -euo pipefail
read -r display < <(exec Xvfb -displayfd 1 -screen 0 "$1x24" -nolisten tcp 2>/dev/null)
xvfb=$!
export DISPLAY=:$display
openbox >/dev/null 2>&1 &
trap "kill $xvfb $! 2>/dev/null || :" EXIT
# The window manager is ready when it has claimed the screen.
for _ in {1..100}; do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
done
shift
XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)} "$@"
