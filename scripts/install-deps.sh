#!/usr/bin/env bash
# Installs the Debian packages a make target needs, asking apt-get only for those that are
# missing. With no group it installs what building and running need; each group named on
# the command line adds its own.
set -euo pipefail

packages=(
    build-essential cmake make pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-svg-dev
    qt6-qpa-plugins libqt6svg6 libgl-dev
)
locale_needed=""
for group in "$@"; do
    case "$group" in
    # The suite reads numbers under a comma-decimal locale too, and turns accessibility on
    # offscreen as a screen reader would, which only Qt's private API can.
    test) packages+=(locales qt6-base-private-dev); locale_needed=de_DE.UTF-8 ;;
    # The release's own clang and its runtime (libFuzzer, the sanitizers) of the same version:
    # both names follow the default clang, 14 on Debian 12 and 19 on Debian 13.
    fuzz) packages+=(clang libclang-rt-dev locales); locale_needed=de_DE.UTF-8 ;;
    xsession) packages+=(xvfb xauth openbox x11-utils xdotool) ;;
    keys) packages+=(python3 python3-pyatspi at-spi2-core dbus dbus-x11) ;;
    # A compositor that draws into a private X server, for a seat, and Qt's Wayland platform.
    wayland) packages+=(weston qt6-wayland python3 python3-pyatspi at-spi2-core dbus) ;;
    bench) packages+=(libxcb1-dev valgrind) ;;
    package) packages+=(dpkg-dev file lintian desktop-file-utils appstream man-db) ;;
    # A virtual machine with real serial drivers: QEMU, a static shell for its first files,
    # and what unpacks the release's kernel and its modules into it.
    rig) packages+=(qemu-system-x86 busybox-static cpio xz-utils zstd kmod) ;;
    # Qt's base module and the desk built for Windows with MinGW-w64, from Debian's sources.
    windows) packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 ninja-build dpkg-dev zip) ;;
    # The Windows desk run under Wine; its screen read with xwd.
    wine) packages+=(wine wine64 x11-apps unzip python3) ;;
    *) echo "unknown group: $group" >&2; exit 2 ;;
    esac
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
# apt-get waits for dpkg's lock when asked to (DPkg::Lock::Timeout), but fails at once on the
# locks of the package lists and of the downloaded packages: while another apt-get, dpkg or an
# unattended upgrade holds any of apt's locks, wait for it, up to five minutes.
wait_for_apt() {
    local inodes holder i
    inodes=" $(stat -c %i /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock \
        /var/cache/apt/archives/lock 2>/dev/null | tr '\n' ' ' || true)"
    for ((i = 0; i < 300; i++)); do
        # /proc/locks: "1: POSIX ADVISORY WRITE PID MAJOR:MINOR:INODE START END"
        holder=$(awk -v inodes="$inodes" '$2 == "POSIX" { split($6, at, ":") }
            $2 == "POSIX" && index(inodes, " " at[3] " ") { print $5; exit }' /proc/locks)
        [ -n "$holder" ] || return 0
        [ "$i" -gt 0 ] || echo "Waiting for $(cat "/proc/$holder/comm" 2>/dev/null) (process $holder)" \
            "to release apt's lock, up to five minutes"
        sleep 1
    done
}
apt_get() {
    wait_for_apt
    $sudo apt-get -o DPkg::Lock::Timeout=300 "$@"
}

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt_get update
    apt_get install -y --no-install-recommends "${missing[@]}"
fi

# locale -a spells "de_DE.UTF-8" as "de_DE.utf8".
if [ -n "$locale_needed" ]; then
    spelled=$(echo "$locale_needed" | sed 's/UTF-8/utf8/')
    if ! locale -a | grep -qx "$spelled"; then
        echo "Generating the locale $locale_needed"
        $sudo localedef -i "${locale_needed%%.*}" -f UTF-8 "$locale_needed"
    fi
fi
