#!/usr/bin/env bash
# Runs a command in a private Wayland session, as on an operator's GNOME or Plasma desktop:
#   tools/waylandsession.sh command [arguments...]
# weston draws into a private X server only so that it has a seat, a keyboard and a pointer;
# the command gets WAYLAND_DISPLAY and no DISPLAY, so a Qt program in it is a native client.
set -euo pipefail
displayfile=$(mktemp)
runtime=$(mktemp -d)
weston=""
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $weston $xvfb 2>/dev/null || true; rm -rf "$displayfile" "$runtime"' EXIT
for _ in $(seq 100); do
    [ -s "$displayfile" ] && break
    sleep 0.05
done
DISPLAY=:$(head -n 1 "$displayfile") XDG_RUNTIME_DIR=$runtime weston --backend=${WESTON_BACKEND:-x11-backend.so} \
    --socket=wayland-lumidesk --width=1500 --height=1100 --idle-time=0 \
    >"$runtime/weston.log" 2>&1 &
weston=$!
# weston is ready when its socket is there.
for _ in $(seq 200); do
    [ -S "$runtime/wayland-lumidesk" ] && break
    sleep 0.05
done
env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=wayland-lumidesk \
    QT_QPA_PLATFORM=wayland "$@"
