#!/usr/bin/env bash
# Builds Qt's base module for 64-bit Windows, once, from the Debian source package of this
# machine's own Qt (whose tools it uses), into a cache folder outside the tree:
#   scripts/windows-qt.sh        prints the folder Qt is installed in, building it if missing
# Only qtbase: the mirror holds no tarballs of Debian's Qt Serial Port and Qt Svg sources, so
# the Windows desk does without them.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
cache=$(realpath -m "${LUMIDESK_QT_WINDOWS:-/var/cache/lumidesk/qt-windows-$version}")
prefix=$cache/qt

if [ -e "$cache/.ready" ]; then
    echo "$prefix"
    exit 0
fi
mkdir -p "$cache"
exec 9>"$cache.lock"
flock 9
if [ -e "$cache/.ready" ]; then
    echo "$prefix"
    exit 0
fi
rm -rf --one-file-system "${cache:?}"/{apt,src,build,qt}
mkdir -p "$cache"/{apt/lists/partial,apt/archives/partial,src}

# A private apt configuration with the sources of this release, so that the machine's own
# sources list stays as it is.
suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
mirror=$(grep -h -m1 -oE '^URIs: *\S+/debian/?$' /etc/apt/sources.list.d/*.sources 2>/dev/null \
    | awk '{print $2}' | head -n 1 || true)
[ -n "$mirror" ] || mirror=$(awk '$1 == "deb" {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian
echo "deb-src $mirror $suite main" >"$cache/apt/sources.list"
apt=(apt-get -q -o Dir::Etc::SourceList="$cache/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$cache/apt/lists" -o Dir::Cache::Archives="$cache/apt/archives"
    -o Dir::Cache="$cache/apt")
"${apt[@]}" update >&2
(cd "$cache/src" && "${apt[@]}" source "qt6-base=$version" >&2)
source=$(find "$cache/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*')
cp "$source/LICENSES/LGPL-3.0-only.txt" "$cache/LGPL-3.0-only.txt" 2>/dev/null \
    || cp "$source/LICENSE.LGPL3" "$cache/LGPL-3.0-only.txt"
echo "Qt $version for Windows, built from Debian's source package qt6-base $version." >"$cache/SOURCE"

# The desk needs Core, Gui and Widgets with the windows platform and its Vista style. OpenGL,
# Direct2D and DirectWrite 3 go (Wine has too little of them); wintab, which tablet events
# need, is not in Debian's tarball; the libraries go bundled, as Windows has none of them.
off=(vulkan dbus icu sql network printsupport concurrent xml testlib jpeg pkg_config direct2d
    directwrite3 tabletevent system_zlib system_pcre2 system_png system_freetype system_harfbuzz)
flags=()
for feature in "${off[@]}"; do
    flags+=("-DFEATURE_$feature=OFF")
done
# Qt's own toolchain file names the one it was built with: a copy in the cache outlives the tree.
cp "$here/cmake/mingw-w64.cmake" "$cache/mingw-w64.cmake"
cmake -S "$source" -B "$cache/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-w64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DINPUT_opengl=no \
    "${flags[@]}" >&2
# Two jobs at low priority: the machine is shared.
nice -n 10 cmake --build "$cache/build" -j"${QT_JOBS:-2}" >&2
cmake --install "$cache/build" >&2
touch "$cache/.ready"
echo "$prefix"
