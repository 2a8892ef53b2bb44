#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, asking
# apt-get only for those that are missing.
set -euo pipefail

packages=(
    build-essential cmake make pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-svg-dev
    qt6-qpa-plugins libqt6svg6 libgl-dev libxcb1-dev
    xvfb xauth openbox x11-utils xdotool
)
# Extra groups: "asan" for the sanitizer run, "fuzz" for libFuzzer, "bench" for
# the benchmarks. Named on the command line.
for extra in "$@"; do
    case "$extra" in
    asan | fuzz) packages+=(clang libclang-rt-14-dev) ;;
    bench) packages+=(libxcb1-dev valgrind) ;;
    shots) packages+=(imagemagick) ;;
    package) packages+=(dpkg-dev file lintian desktop-file-utils appstream man-db) ;;
    monkey) packages+=(python3) ;;
    *) echo "unknown group: $extra" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
