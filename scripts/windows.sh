#!/usr/bin/env bash
# Builds the desk for 64-bit Windows and packs it with what it needs into a zip:
#   scripts/windows.sh OUT [WERROR]    makes OUT/lumidesk-windows.zip
# Qt comes from scripts/windows-qt.sh's cache; the pictures are rendered by this machine's Qt.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "$1")
werror=${2:-OFF}
jobs=${JOBS:-$(nproc)}

cmake -S "$here" -B "$out/host" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DLUMIDESK_BENCH=OFF >/dev/null
cmake --build "$out/host" -j"$jobs" --target lumidesk-svgtopng

qt=$(bash "$here/scripts/windows-qt.sh")
cmake -S "$here" -B "$out/desk" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DLUMIDESK_WERROR="$werror" \
    -DLUMIDESK_SVGTOPNG="$out/host/src/ui/lumidesk-svgtopng" >/dev/null
cmake --build "$out/desk" -j"$jobs" --target lumidesk

# The program, every DLL it loads that is not Windows' own (followed through the DLLs' own
# imports), Qt's windows platform and its Vista style, and the licences.
stage=$out/lumidesk
rm -rf "$stage" "$out/lumidesk-windows.zip"
mkdir -p "$stage/platforms" "$stage/styles"
x86_64-w64-mingw32-strip -o "$stage/lumidesk.exe" "$out/desk/lumidesk.exe"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
search=("$qt/bin" "$runtime" /usr/x86_64-w64-mingw32/lib)
todo=("$stage/lumidesk.exe" "$stage/platforms/qwindows.dll" "$stage/styles/qwindowsvistastyle.dll")
while [ ${#todo[@]} -gt 0 ]; do
    file=${todo[0]}
    todo=("${todo[@]:1}")
    for dll in $(x86_64-w64-mingw32-objdump -p "$file" | awk '/DLL Name:/ {print $3}'); do
        [ -e "$stage/$dll" ] && continue
        for dir in "${search[@]}"; do
            if [ -e "$dir/$dll" ]; then
                cp "$dir/$dll" "$stage/"
                todo+=("$stage/$dll")
                break
            fi
        done
    done
done
# MinGW's runtime comes with its symbols, which a Windows operator has no use for.
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.dll "$stage"/*/*.dll
cache=$(dirname "$qt")
cp "$here/LICENSE" "$stage/LICENSE.txt"
cp "$cache/LGPL-3.0-only.txt" "$stage/Qt-LGPL-3.0.txt"
cp "$cache/SOURCE" "$stage/Qt-SOURCE.txt"
(cd "$out" && zip -qrX lumidesk-windows.zip lumidesk)
echo "$out/lumidesk-windows.zip: $(du -k "$out/lumidesk-windows.zip" | cut -f1) KiB"
