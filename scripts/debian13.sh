#!/usr/bin/env bash
# Runs a command in a Debian 13 root beside this machine, as on a fresh Debian 13 desk:
#   scripts/debian13.sh COMMAND...    (as root; the command runs in the project's copy there)
# The root is made with debootstrap when it is missing and kept for later runs. It has its own
# /proc and a private /dev holding pseudo-terminals and no serial port: the host's /dev is never
# bound in, since a test that found the host's ports might write to its console.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=$(realpath -m "${DEBIAN13_ROOT:-/var/cache/lumidesk/debian13}") # the command runs from /
copy=/root/lumidesk

if [ "$(id -u)" -ne 0 ]; then
    echo "scripts/debian13.sh makes and enters a root file system: run it as root" >&2
    exit 2
fi

# The mirror apt already uses on this machine.
mirror=$(grep -h -m1 -oE '^URIs: *\S+/debian/?$' /etc/apt/sources.list.d/*.sources 2>/dev/null \
    | awk '{print $2}' | head -n 1 || true)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian

# One run at a time: a second would delete or rebuild the first one's copy under it.
mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock 9

if [ ! -e "$root/.lumidesk-ready" ]; then
    # Only a folder this script made is ever deleted: one it began and did not finish (its
    # debootstrap killed) is unmounted and removed without leaving its file system; anything
    # else in the way is left for its owner.
    if [ -e "$root/.lumidesk-making" ]; then
        findmnt -rn -o TARGET | awk -v r="$root/" 'index($0, r) == 1' | sort -r \
            | xargs -r -d '\n' umount -l
        rm -rf --one-file-system "$root"
    elif [ -e "$root" ] && [ -n "$(ls -A "$root")" ]; then
        echo "$root holds files this script did not put there: move them, or set DEBIAN13_ROOT" >&2
        exit 2
    fi
    command -v debootstrap >/dev/null || {
        DEBIAN_FRONTEND=noninteractive apt-get update
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap
    }
    echo "Making a Debian 13 root in $root from $mirror"
    mkdir -p "$root"
    touch "$root/.lumidesk-making"
    debootstrap --variant=minbase --include=ca-certificates,make trixie "$root" "$mirror"
    printf 'Types: deb\nURIs: %s\nSuites: trixie trixie-updates\nComponents: main\n' "$mirror" \
        >"$root/etc/apt/sources.list.d/debian.sources"
    rm -f "$root/etc/apt/sources.list"
    touch "$root/.lumidesk-ready"
fi
# The root's apt finds the mirror by this machine's name servers.
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
# make is the one thing the README assumes a desk already has.
[ -x "$root/usr/bin/make" ] || chroot "$root" sh -c \
    'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq make >/dev/null'

# The project as committed and as being edited, without build folders; the copy's own build
# folders stay between runs, so that a second run only rebuilds what changed. A file keeps
# the time it had in the copy while its content stays, and takes the time of this copy when
# its content changed: its time here may be older than a build there (edited while that ran,
# or another tree's file), and make would keep the stale object.
mkdir -p "$root$copy"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# A tracked file deleted here is left out, as in the working tree.
(cd "$here" && git ls-files -z --cached --others --exclude-standard \
    | xargs -0 -r sh -c 'for f; do if [ -e "$f" ]; then printf "%s\0" "$f"; fi; done' sh \
    | tar --null -T - -cf -) | tar -C "$stage" -xf -
(cd "$stage" && find . -type f -print0) | while IFS= read -r -d '' f; do
    if cmp -s "$stage/$f" "$root$copy/$f"; then
        touch -r "$root$copy/$f" "$stage/$f"
    else
        touch "$stage/$f"
    fi
done
find "$root$copy" -mindepth 1 -maxdepth 1 ! -name 'build*' -exec rm -rf {} +
cp -a "$stage"/. "$root$copy"/
rm -rf "$stage" # exec below ends this shell without its traps

exec unshare --mount --pid --fork --propagation private -- bash -s "$root" "$copy" "$@" <<'INSIDE'
set -euo pipefail
root=$1 copy=$2
shift 2
mount -t proc proc "$root/proc"
mount -t tmpfs -o mode=755,nosuid dev "$root/dev"
for node in null:1:3 zero:1:5 full:1:7 random:1:8 urandom:1:9 tty:5:0; do
    IFS=: read -r name major minor <<<"$node"
    mknod -m 666 "$root/dev/$name" c "$major" "$minor"
done
mkdir "$root/dev/pts" "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666,mode=620 devpts "$root/dev/pts"
ln -s pts/ptmx "$root/dev/ptmx"
mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
ln -s /proc/self/fd "$root/dev/fd"
mount -t tmpfs -o mode=1777 tmp "$root/tmp"
cd /
exec chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin ${CI:+CI=$CI} \
    bash -c 'cd "$0" && exec "$@"' "$copy" "$@"
INSIDE
