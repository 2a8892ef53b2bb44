#!/usr/bin/env bash
# Runs the benchmarks on a private X server with a window manager, so the figures do not
# depend on the desktop of the moment, then the serial ones: the rig's rows in its guest, whose
# kernel make bench unpacked into $build/guest, each print what they measured on a line.
set -euo pipefail
build=${1:-build}
out=${2:-bench/results.md}
tests/desktop/xsession.sh 1800x1000 "$build/bench/lumidesk-bench" "$out"
rows=$(/usr/bin/python3 tests/serial/rig.py "$build/tests/tst_serialrig" "$build/guest") || true
printf '%s\n' "$rows" >&2
. /etc/os-release
# Debian 13 renamed Qt's package libqt6core6t64.
qt=$(dpkg-query -W -f '${Version} ' 'libqt6core6*' | cut -d+ -f1 | xargs)
kernel=$(ls "$build/guest/root/lib/modules")
cat >>"$out" <<EOF

## On the kernel's real serial drivers, $PRETTY_NAME

The rig's QEMU guest (TCG, 2 processors) on this release's kernel $kernel, Qt $qt,
$(date -u +%FT%TZ); the UART's far end read at 960 bytes a second (9600 baud 8N1 carry 480
frames a second), the USB CDC-ACM adapter's as fast as it comes. One run of each row. These are
figures, not the rows' checks: those are budgets a loaded machine meets (the event loop never
stopped 3 s, the windows gone within 3 s of the exit, a loss told and the program ended within
the 6 s stall window and 4 s more).

| row | measured |
|---|---|
$(sed -n 's/^QINFO *: TestSerialRig::\(.*\)) \(.*\)$/| \1) | \2 |/p' <<<"$rows")
EOF
