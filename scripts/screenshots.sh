#!/usr/bin/env bash
# Photographs the demo under a real X server with a window manager, as an operator sees it.
set -euo pipefail
build=${1:-build}
out=${2:-docs}
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1800x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $wm $xvfb 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$display openbox >/dev/null 2>&1 &
wm=$!
sleep 1
mkdir -p "$out"
DISPLAY=$display XDG_RUNTIME_DIR=$(mktemp -d) timeout 60 "$build/tools/lumidesk-demo" --screenshots "$out" | tail -n 1
