#!/usr/bin/env bash
# Photographs the demo under a real X server with a window manager, as an operator sees it.
set -euo pipefail
build=${1:-build}
out=${2:-docs}
mkdir -p "$out"
tests/desktop/xsession.sh 1800x1000 timeout 60 "$build/tools/lumidesk-demo" --screenshots "$out" | tail -n 1
