#!/bin/bash
# Builds the release of both Windows targets (MinSizeRel, stripped) and packs each
# Turnbell.exe with the README into a zip: build/release-win32/package/Turnbell-1.0-win32.zip
# and build/release-win64/package/Turnbell-1.0-win64.zip. Prints each executable's size and
# the DLLs it imports. Extra arguments go to CMake, e.g.
#   tools/release.sh -DTURNBELL_SITE_HOST=games.example.org -DTURNBELL_HOMEPAGE_HOST=www.example.org
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TURNBELL_BUILD:-$root/build}
"$root/tools/install-deps.sh"
for target in i686:win32 x86_64:win64; do
  arch=${target%%:*}; name=${target##*:}
  dir="$build/release-$name"
  cmake -G Ninja -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DTURNBELL_TESTS=OFF "$@" >/dev/null
  cmake --build "$dir" --target package >/dev/null
  exe="$dir/app/Turnbell.exe"
  echo "$name: $(stat -c %s "$exe") bytes, imports:" \
    $("$arch-w64-mingw32-objdump" -p "$exe" | awk '/DLL Name/ {print $3}')
  ls "$dir"/package/*.zip
done
