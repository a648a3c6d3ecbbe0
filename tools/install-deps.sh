#!/bin/bash
# Installs the Debian packages that building, testing and the demo need. Safe to run
# again: it does nothing when every package is already there. Run as root (as CI does)
# or with sudo available.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
packages=(
  cmake ninja-build python3 git clang-format openssl
  mingw-w64 wine wine64            # wine32:i386 comes with the 32-bit runner (setup-i686.sh)
  clang libclang-rt-14-dev llvm    # native build: sanitizers and libFuzzer
  googletest libbenchmark-dev libgumbo-dev pkg-config
  xvfb xdotool imagemagick x11-utils
  locales                          # ja_JP, compiled by the build for the code page 932 tests
  iproute2                         # the end-to-end test brings up the loopback of its own network
)
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "installing: ${missing[*]}"
apt_update || { echo "apt-get update failed" >&2; exit 1; }
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
