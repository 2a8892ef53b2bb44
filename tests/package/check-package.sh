#!/usr/bin/env bash
# The Debian package as a user gets it: lintian has nothing to say, and everything is there.
set -euo pipefail
trap 'echo "package check: failed at line $LINENO: $BASH_COMMAND"' ERR
cd "$(dirname "$0")/../.."
make package >/dev/null
deb=$(ls build-release/lumidesk_*.deb)
lintian --fail-on error,warning "$deb"
# A desktop whose session is Wayland alone gets the platform plugin for it.
dpkg-deb -f "$deb" Recommends | grep -qw qt6-wayland
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
# The desktop entries and the metadata are there if they validate.
for f in bin/lumidesk{,-demo} share/man/man1/lumidesk{,-demo}.1.gz \
    share/icons/hicolor/scalable/apps/lumidesk.svg; do
    test -s "$root/usr/$f" || { echo "missing from the package: $f"; exit 1; }
done
desktop-file-validate "$root"/usr/share/applications/lumidesk{,-demo}.desktop
appstreamcli validate --no-net --pedantic "$root"/usr/share/metainfo/*.metainfo.xml
grep -q "License: Expat" "$root/usr/share/doc/lumidesk/copyright"

# Installed with the very command the README gives, so that the two cannot drift apart.
install=$(grep -E '^sudo apt install \./' README.md)
[ "$(id -u)" -eq 0 ] && ! command -v sudo >/dev/null && sudo() { "$@"; }
eval "$install" < <(yes) >/dev/null
/usr/bin/lumidesk-demo --help | grep -q -- "--missing N"
sudo apt-get remove -y lumidesk >/dev/null
echo "package check: 1 passed, 0 failed"
