#!/bin/bash
# The release: both Windows targets built with the presets release-win32 and
# release-win64 (MinSizeRel, stripped); the end-to-end test run against the very 32-bit
# Turnbell.exe about to be packed (a failure stops the release); each target's
# Turnbell.exe and turnbell-check.exe packed with README.txt into a zip. It all lands in
# build/release/:
#   Turnbell-VERSION-win32.zip, Turnbell-VERSION-win64.zip   the zips
#   Turnbell-VERSION-win32/, Turnbell-VERSION-win64/         what each zip holds
#   SHA256SUMS                                                every exe and zip (sha256sum -c)
# The same commit gives the same bytes whatever the build folder, the time and the
# machine: the executables carry no link time and no build path
# (cmake/TurnbellRelease.cmake), and the zips hold their entries in a fixed order with
# the commit's time (tools/pack-zip.py).
#
#   tools/release.sh -DTURNBELL_SITE_HOST=HOST -DTURNBELL_HOMEPAGE_HOST=HOST [CMAKE_ARGUMENTS...]
#                                           a release for a real site. It refuses (exit 2,
#                                           one line, building nothing) when a host is
#                                           missing or empty, or is this machine in any
#                                           spelling: localhost in any letter case, with a
#                                           final dot or as a name under .localhost; any
#                                           address of 127.0.0.0/8 in any form the C library
#                                           reads (127.1, 0x7f.0.0.1, 2130706433); ::1 in
#                                           any IPv6 spelling (::ffff:127.0.0.1), also in
#                                           brackets. Definitions may be written
#                                           -DNAME=value, -DNAME:TYPE=value, -D NAME=value
#                                           or -D NAME value (passed on as -DNAME=value).
#   tools/release.sh --local [CMAKE_ARGUMENTS...]
#                                           a release for the test site on this machine:
#                                           its zips and folders end in -local
#                                           (Turnbell-1.0-win32-local.zip). Refused with
#                                           either host given: the two contradict each other
#   tools/release.sh --check-reproducible   builds the 32-bit release for the test site
#                                           twice, in two folders, and fails when a byte
#                                           differs
#   TURNBELL_BUILD=dir                      build folder (default: build/ in the checkout)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}

# build_release NAME DIR [CMAKE_ARGUMENTS...]: the preset release-NAME, built afresh in
# DIR, so that no setting of an earlier release (a site host, say) lingers in its cache.
build_release() {
  local name=$1 dir=$2; shift 2
  rm -rf "$dir"
  targets="Turnbell turnbell-check" build_preset "$dir" "release-$name" "$@"
}

# pack DIR ZIP: the zip of the build in DIR.
pack() {
  "$root/tools/python3" "$root/tools/pack-zip.py" "$2" "$epoch" \
    "$1/app/Turnbell.exe" "$1/check/turnbell-check.exe" "$root/README.txt"
}

cache_value() { sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"; }

if [ "${1:-}" = --check-reproducible ]; then
  # Two folders of different names and depths, built one after the other: a path or a
  # time that slipped into the bytes would show.
  first="$build/reproducible/a"
  second="$build/reproducible/second-build/b"
  rm -rf "$build/reproducible"
  build_release win32 "$first"
  build_release win32 "$second"
  pack "$first" "$first.zip"
  pack "$second" "$second.zip"
  status=0
  for file in app/Turnbell.exe check/turnbell-check.exe; do
    sha256sum "$first/$file" "$second/$file" | sed "s|$build/||"
    cmp -s "$first/$file" "$second/$file" || { echo "$file differs between the two builds"; status=1; }
  done
  sha256sum "$first.zip" "$second.zip" | sed "s|$build/||"
  cmp -s "$first.zip" "$second.zip" || { echo "the zips differ between the two builds"; status=1; }
  [ "$status" -eq 0 ] && echo "the 32-bit release is reproducible: both builds gave the same bytes"
  exit "$status"
fi

# refuse MESSAGE: the release is refused, before anything is built.
refuse() { echo "release: $1" >&2; exit 2; }

# The arguments for CMake, each definition in the one form -DNAME=value: -D NAME=value
# (CMake takes it too) and -D NAME value (CMake does not) become it. --local may stand
# anywhere among them.
suffix=""
cmake_args=()
while [ $# -gt 0 ]; do
  case $1 in
    --local) suffix=-local ;;
    -D)
      [ $# -ge 2 ] || refuse "-D at the end names no variable"
      if [[ $2 == *=* ]]; then
        cmake_args+=("-D$2")
        shift
      else
        [ $# -ge 3 ] || refuse "-D $2 has no value: pass -D $2=VALUE"
        cmake_args+=("-D$2=$3")
        shift 2
      fi ;;
    *) cmake_args+=("$1") ;;
  esac
  shift
done
set -- "${cmake_args[@]}"

# cmake_value NAME ARGUMENTS...: the value that the arguments give the CMake variable
# NAME (the last definition wins, as in CMake); fails when none defines it.
cmake_value() {
  local name=$1 argument value="" found=1
  shift
  for argument in "$@"; do
    [[ $argument =~ ^-D$name(:[A-Za-z]+)?=(.*)$ ]] && { value=${BASH_REMATCH[2]}; found=0; }
  done
  echo "$value"
  return $found
}

# loopback_reason HOST: why HOST is this machine, or nothing when it is not. Python's
# own readers decide: ipaddress for every IPv6 spelling (and ::ffff:127.0.0.1),
# inet_aton for every form the C library takes as an IPv4 address (127.1, 0x7f.0.0.1,
# 2130706433). A host name is never looked up.
loopback_reason() {
  "$root/tools/python3" - "$1" <<'PYTHON'
import ipaddress, socket, sys, unicodedata
host = unicodedata.normalize("NFKC", sys.argv[1]).casefold().strip()
if host.startswith("[") and host.endswith("]"):
    host = host[1:-1]
host = host.rstrip(".")
if host == "localhost" or host.endswith(".localhost"):
    print("is a name for this machine (localhost)")
    sys.exit()
try:
    address = ipaddress.ip_address(host)
except ValueError:
    try:
        address = ipaddress.IPv4Address(socket.inet_aton(host))
    except OSError:
        sys.exit()  # a host name
if getattr(address, "ipv4_mapped", None):
    address = address.ipv4_mapped
if address.is_loopback:
    print(f"is a loopback address ({address})")
PYTHON
}

# A release compiled for the test site's localhost can never work for a user: it is
# made only on request, with --local, and its name says what it is. A release for a
# real site needs both hosts, neither of them this machine.
if [ -n "$suffix" ]; then
  for variable in TURNBELL_SITE_HOST TURNBELL_HOMEPAGE_HOST; do
    if value=$(cmake_value "$variable" "$@"); then
      refuse "--local and $variable=$value contradict each other: --local builds for the test site on this machine, the host for another site; pass one or the other"
    fi
  done
else
  for variable in TURNBELL_SITE_HOST TURNBELL_HOMEPAGE_HOST; do
    value=$(cmake_value "$variable" "$@") || value=""
    [ -n "$value" ] ||
      refuse "no site named: $variable names no host: pass -DTURNBELL_SITE_HOST=HOST -DTURNBELL_HOMEPAGE_HOST=HOST (or --local for the test site on this machine)"
    reason=$(loopback_reason "$value") || refuse "$variable=$value: checking whether it is this machine failed"
    [ -z "$reason" ] ||
      refuse "no site named: $variable=$value $reason: a release for this machine could never reach a user's site"
  done
fi

"$root/tools/setup-i686.sh"     # first: its apt-get update leaves the lists fresh for the next
"$root/tools/install-deps.sh"

# The end-to-end test's helper (it plays a restarting shell) comes from the 32-bit test build.
helper_build() {
  targets=post_taskbar_created build_preset "$build/win32" win32 || return 1
  echo "$build/win32/tests/e2e/post_taskbar_created.exe"
}

# The end-to-end test of the exe: the test site plays the site it was built for. A host
# other than localhost is mapped to the loopback address in a mount namespace of the
# test's own, with a hosts file of its own: the machine's stays as it is.
end_to_end() {
  local dir=$1 exe=$2 helper scheme host
  helper=$(helper_build) || return 1
  scheme=$(cache_value "$dir" TURNBELL_SITE_SCHEME)
  host=$(cache_value "$dir" TURNBELL_SITE_HOST)
  export TURNBELL_E2E_SITE="$scheme://$host"
  if [ "$host" = localhost ]; then
    bash "$root/tests/e2e/e2e_test.sh" "$exe" "$helper"
  else
    local hosts
    hosts=$(mktemp)
    { cat /etc/hosts; echo "127.0.0.1 $host"; echo "::1 $host"; } >"$hosts"
    unshare --mount --propagation private -- bash -c 'mount --bind "$1" /etc/hosts && shift && exec bash "$@"' \
      - "$hosts" "$root/tests/e2e/e2e_test.sh" "$exe" "$helper"
    local status=$?
    rm -f "$hosts"
    return $status
  fi
}

out="$build/release"
rm -rf "$out"
mkdir -p "$out"
for target in i686:win32 x86_64:win64; do
  arch=${target%%:*}; name=${target##*:}
  dir="$build/release-$name"
  build_release "$name" "$dir" "$@"
  version=$(cache_value "$dir" CMAKE_PROJECT_VERSION)
  for exe in "$dir/app/Turnbell.exe" "$dir/check/turnbell-check.exe"; do
    echo "$name: $(basename "$exe") $(stat -c %s "$exe") bytes, imports:" \
      $("$arch-w64-mingw32-objdump" -p "$exe" | awk '/DLL Name/ {print $3}')
  done
  if [ "$name" = win32 ]; then
    echo "== end-to-end test of the 32-bit Turnbell.exe about to be packed"
    end_to_end "$dir" "$dir/app/Turnbell.exe" || { echo "the end-to-end test failed: no release"; exit 1; }
  fi
  package="Turnbell-$version-$name$suffix"
  mkdir -p "$out/$package"
  cp "$dir/app/Turnbell.exe" "$dir/check/turnbell-check.exe" "$root/README.txt" "$out/$package/"
  pack "$dir" "$out/$package.zip"
done
(cd "$out" && sha256sum Turnbell-*/*.exe Turnbell-*.zip >SHA256SUMS)
echo "== $out"
cat "$out/SHA256SUMS"
