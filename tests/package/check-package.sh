#!/usr/bin/env bash
# The Debian package as a user gets it: lintian has nothing to say, and everything is there.
set -euo pipefail
cd "$(dirname "$0")/../.."
make package >/dev/null
deb=$(ls build-release/lumidesk_*.deb)
echo "lintian $deb"
lintian --fail-on error,warning "$deb"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/bin/lumidesk usr/bin/lumidesk-demo \
    usr/share/man/man1/lumidesk.1.gz usr/share/man/man1/lumidesk-demo.1.gz \
    usr/share/icons/hicolor/scalable/apps/lumidesk.svg \
    usr/share/metainfo/org.lumidesk.lumidesk.metainfo.xml usr/share/doc/lumidesk/copyright; do
    test -s "$root/$f" || { echo "missing from the package: $f"; exit 1; }
done
desktop-file-validate "$root"/usr/share/applications/lumidesk.desktop \
    "$root"/usr/share/applications/lumidesk-demo.desktop
appstreamcli validate --no-net --pedantic "$root"/usr/share/metainfo/org.lumidesk.lumidesk.metainfo.xml
grep -q "License: Expat" "$root/usr/share/doc/lumidesk/copyright"
"$root/usr/bin/lumidesk-demo" --help | grep -q -- "--missing N"

# Installed with the very command the README gives, so that the two cannot drift apart.
install=$(grep -E '^sudo apt install \./' README.md)
echo "$install"
[ "$(id -u)" -eq 0 ] && ! command -v sudo >/dev/null && sudo() { "$@"; }
eval "$install" < <(yes) >/dev/null
/usr/bin/lumidesk-demo --help | grep -q -- "--missing N"
test -s /usr/share/applications/lumidesk.desktop
sudo apt-get remove -y lumidesk >/dev/null
echo "package check: 1 passed, 0 failed"
