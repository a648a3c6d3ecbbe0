#!/bin/bash
# Builds the release of both Windows targets (MinSizeRel, stripped) and packs each
# Turnbell.exe with the README into a zip: build/release-win32/package/Turnbell-1.0-win32.zip
# and build/release-win64/package/Turnbell-1.0-win64.zip. Before the 32-bit zip is packed,
# the end-to-end test runs against the very Turnbell.exe that goes into it; a failure
# stops the release. Prints each executable's size and the DLLs it imports. Extra
# arguments go to CMake, e.g.
#   tools/release.sh -DTURNBELL_SITE_HOST=games.example.org -DTURNBELL_HOMEPAGE_HOST=www.example.org
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TURNBELL_BUILD:-$root/build}
"$root/tools/install-deps.sh"
"$root/tools/setup-i686.sh"

# The end-to-end test's helper (it plays a restarting shell) comes from the 32-bit test build.
helper_build() {
  local dir="$build/win32"
  (cd "$root" && cmake --preset win32 -B "$dir") >/dev/null
  cmake --build "$dir" --target post_taskbar_created >/dev/null
  echo "$dir/tests/e2e/post_taskbar_created.exe"
}

for target in i686:win32 x86_64:win64; do
  arch=${target%%:*}; name=${target##*:}
  dir="$build/release-$name"
  (cd "$root" && cmake --preset "release-$name" -B "$dir" "$@") >/dev/null
  cmake --build "$dir" >/dev/null
  exe="$dir/app/Turnbell.exe"
  echo "$name: $(stat -c %s "$exe") bytes, imports:" \
    $("$arch-w64-mingw32-objdump" -p "$exe" | awk '/DLL Name/ {print $3}')
  if [ "$name" = win32 ]; then
    echo "== end-to-end test of the 32-bit Turnbell.exe about to be packed"
    bash "$root/tests/e2e/e2e_test.sh" "$exe" "$(helper_build)" \
      || { echo "the end-to-end test failed: no release"; exit 1; }
  fi
  (cd "$dir" && cpack >/dev/null)
  ls "$dir"/package/*.zip
done
