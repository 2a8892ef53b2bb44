#!/usr/bin/env bash
# Runs a command under Wine in a private prefix without ever reaching this machine's serial
# ports (on these machines /dev/ttyS0 is the console, and Wine links every /dev/ttyS* it finds
# to a COM port):
#   tests/windows/wine.sh PREFIX wine PROGRAM.exe...    (or wineboot, wineserver)
# COM1 to COM5 are pinned in the prefix's registry, before Wine first starts there, to the links
# PREFIX/ports/com1 to com5, which the caller points at the cards' pseudo-terminals; Wine puts
# what it finds after them. The command runs in a mount namespace of its own with /dev/null
# over every /dev/ttyS*, and not at all while a COM link of the prefix leads to a /dev/ttyS*.
set -euo pipefail
prefix=$(realpath -m "$1")
shift
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -e "$prefix/system.reg" ]; then
    mkdir -p "$prefix/ports"
    {
        printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n#arch=win64\n\n'
        printf '[Software\\\\Wine\\\\Ports] 0\n'
        for n in 1 2 3 4 5; do
            printf '"COM%s"="%s"\n' "$n" "$prefix/ports/com$n"
        done
    } >"$prefix/system.reg"
fi
for link in "$prefix"/dosdevices/com*; do
    [ -L "$link" ] || continue
    if [[ $(realpath -m "$link") == /dev/ttyS* ]]; then
        echo "refusing to run Wine: $link leads to $(realpath -m "$link")" >&2
        exit 3
    fi
done
# Wine links whatever /dev/ttyS* exists (it only asks whether the name is there), so /dev/null
# over each one still left a COM6 link to /dev/ttyS0 in the prefix, which leads to the console
# for any Wine run outside this script. The namespace's /dev therefore holds only what Wine and
# the pseudo-terminals need, and no serial port at all.
exec unshare -m --propagation private bash -euc '
    for tty in /dev/ttyS*; do [ -e "$tty" ] && mount --bind /dev/null "$tty"; done
    dev=$(mktemp -d)
    mount -t tmpfs -o mode=755 lumidesk-dev "$dev"
    for node in null zero full random urandom tty ptmx; do
        touch "$dev/$node"
        mount --bind "/dev/$node" "$dev/$node"
    done
    for dir in pts shm; do
        mkdir "$dev/$dir"
        mount --rbind "/dev/$dir" "$dev/$dir"
    done
    ln -s /proc/self/fd "$dev/fd"
    mount --move "$dev" /dev
    exec "$@"' sh "$@"
