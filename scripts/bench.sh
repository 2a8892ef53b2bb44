#!/usr/bin/env bash
# Runs the benchmarks on a private Xvfb display, so the figures do not depend on a desktop.
set -euo pipefail
build=${1:-build}
out=${2:-bench/results.md}
display=:$((80 + RANDOM % 9))
Xvfb "$display" -screen 0 1800x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
runtime=$(mktemp -d)
DISPLAY=$display XDG_RUNTIME_DIR=$runtime "$build/bench/lumidesk-bench" "$out"
