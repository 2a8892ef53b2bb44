#!/usr/bin/env bash
# Runs a command in a private Wayland session, as on an operator's GNOME or Plasma desktop:
#   tests/desktop/waylandsession.sh command [arguments...]
# weston draws into a private X server only so that it has a seat, a keyboard and a pointer;
# the command gets WAYLAND_DISPLAY and no DISPLAY, so a Qt program in it is a native client.
# WESTON_BACKEND=headless-backend.so gives a compositor with no seat at all.
set -euo pipefail
[ -n "${LUMIDESK_WESTON_HOST:-}" ] ||
    exec env LUMIDESK_WESTON_HOST=1 "$(dirname "$0")/xsession.sh" 1600x1200 "$0" "$@"
# A runtime folder of its own, so that sessions side by side never share a socket.
export XDG_RUNTIME_DIR
XDG_RUNTIME_DIR=$(mktemp -d)
weston --backend="${WESTON_BACKEND:-x11-backend.so}" --socket=wayland-lumidesk --width=1500 \
    --height=1100 --idle-time=0 >"$XDG_RUNTIME_DIR/weston.log" 2>&1 &
trap "kill $! 2>/dev/null || :; rm -rf $XDG_RUNTIME_DIR" EXIT
# weston is ready when its socket is there.
for _ in {1..200}; do
    [ -S "$XDG_RUNTIME_DIR/wayland-lumidesk" ] && break
    sleep 0.05
done
env -u DISPLAY -u LUMIDESK_WESTON_HOST WAYLAND_DISPLAY=wayland-lumidesk QT_QPA_PLATFORM=wayland "$@"
