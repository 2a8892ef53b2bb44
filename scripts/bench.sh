#!/usr/bin/env bash
# Runs the benchmarks on a private X server with a window manager, so the figures do not
# depend on the desktop of the moment, then the serial ones in the rig's guest.
set -euo pipefail
build=${1:-build}
out=${2:-bench/results.md}
tests/desktop/xsession.sh 1800x1000 "$build/bench/lumidesk-bench" "$out"
# The serial figures from the rig's guest, whose kernel make bench unpacked into $build/guest.
/usr/bin/python3 bench/serialbench.py "$build/tests/lumidesk-rigdesk" "$build/guest" "$out"
