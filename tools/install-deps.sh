#!/bin/bash
# Installs the Debian packages that building, testing and the demo need. Safe to run
# again: it does nothing when every package is already there. Run as root (as CI does)
# or with sudo available. A step that fails ends the script with one line that names
# the step and the log of apt's output (build/setup-logs/install-deps.log).
set -euo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
packages=(
  cmake ninja-build python3 git clang-format openssl
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix   # the -posix compilers only: the
                                   # mingw-w64 package adds the unused win32-thread ones (113 MB)
  wine wine64                      # wine32:i386 comes with the 32-bit runner (setup-i686.sh)
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
# The one line of a failure, last on the screen: the step, what failed, and where apt's
# whole output is.
die() {
  echo "installing the build packages: $1 failed${2:+ ($2)}; apt's output: $log" >&2
  exit 1
}
log=$setup_logs/install-deps.log
mkdir -p "$setup_logs"
: >"$log"
echo "installing: ${missing[*]}"
# tools/setup-i686.sh, run first by the test command, leaves the lists fresh.
if ! apt_lists_fresh; then
  apt_update "$log" || die "apt-get update" "$apt_why"
fi
started=$(date +%s)
apt_get 1200 "$log" install -y -q --no-install-recommends --download-only "${missing[@]}" \
  || die "downloading the packages" "$(apt_error "$log")"
downloaded=$(date +%s)
apt_get 1800 "$log" install -y -q --no-install-recommends "${missing[@]}" \
  || die "installing the packages" "$(apt_error "$log")"
echo "installed in $(( $(date +%s) - started )) s (downloads $((downloaded - started)) s," \
  "unpacking and configuring $(( $(date +%s) - downloaded )) s)"
