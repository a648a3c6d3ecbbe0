#!/bin/bash
# Sets up the 32-bit runner, so that /usr/lib/wine/wine64 can start the 32-bit
# Turnbell.exe and its 32-bit tests. Safe to run again: each step is skipped when it is
# already done, and a machine that has everything costs a few dpkg queries.
#
#   1. the i386 architecture in dpkg, and Debian's wine32:i386 (the 32-bit Wine loader,
#      about 820 MB with its libraries);
#   2. qemu-user from bookworm-backports (qemu 10): the kernel cannot execute 32-bit
#      programs, so the 32-bit Wine loader runs under qemu-i386. Bookworm's own qemu 7.2
#      also works but takes about 43 s to start each process;
#   3. binfmt_misc mounted and an i386 entry registered with it, pointing at qemu-i386.
#      Wine's loader re-executes itself, so only this makes the whole chain run; the
#      registration is lost at every reboot, so the test command and the demo run this
#      script every time.
#
# Needs root (or sudo). A step that fails ends the script with one line that names the
# step, and exit code 1.
set -uo pipefail
source "$(dirname "$0")/lib.sh"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if sudo -n true 2>/dev/null; then SUDO="sudo"; else SUDO="not root"; fi
fi
die() {
  echo "32-bit runner: $1 failed${2:+ ($2)}; set TURNBELL_SKIP_I686=1 to run without the 32-bit build" >&2
  exit 1
}
# Runs a command as root; the caller names the step for the message when root is missing.
as_root() {
  [ "$SUDO" != "not root" ] || die "$1" "it needs root or sudo"
  shift
  $SUDO "$@"
}
tmp_source=$(mktemp)
trap 'rm -f "$tmp_source"' EXIT

# qemu-i386 of major version 8 or later starts Wine in a fraction of a second.
qemu_is_recent() {
  local v
  v=$(/usr/bin/qemu-i386 --version 2>/dev/null | sed -nE 's/.*version ([0-9]+)\..*/\1/p' | head -n1)
  [ -n "$v" ] && [ "$v" -ge 8 ]
}

# The backports suite of the machine's own Debian source (same URIs, same key), so the
# project names no mirror of its own.
add_backports_source() {
  grep -rqsE '^[^#]*bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/ && return 0
  local uris="" keyring=""
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    # The deb822 stanza whose Suites hold "bookworm" itself.
    read -r uris keyring < <(awk '
      /^$/ { if (main) { print uris, key; main = 0; exit } uris = ""; key = "" }
      /^URIs:/ { uris = $2 }
      /^Signed-By:/ { key = $2 }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == "bookworm") main = 1 }
      END { if (main) print uris, key }' /etc/apt/sources.list.d/debian.sources)
  fi
  if [ -z "$uris" ] && [ -f /etc/apt/sources.list ]; then
    uris=$(awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' /etc/apt/sources.list)
  fi
  [ -n "$uris" ] || return 1
  {
    echo "Types: deb"
    echo "URIs: $uris"
    echo "Suites: bookworm-backports"
    echo "Components: main"
    [ -n "$keyring" ] && echo "Signed-By: $keyring"
  } >"$tmp_source"
  as_root "adding the bookworm-backports source" cp "$tmp_source" /etc/apt/sources.list.d/turnbell-backports.sources
}

if ! installed wine32:i386 || ! qemu_is_recent; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root "adding the i386 architecture" dpkg --add-architecture i386 || die "adding the i386 architecture"
  fi
  add_backports_source || die "adding the bookworm-backports source" "no bookworm entry in apt's sources"
  echo "32-bit runner: installing wine32:i386 and qemu-user from bookworm-backports (about 900 MB)"
  as_root "apt-get update" apt-get update -qq || die "apt-get update"
  if ! installed wine32:i386; then
    DEBIAN_FRONTEND=noninteractive as_root "installing wine32:i386" \
      apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null \
      || die "installing wine32:i386"
  fi
  if ! qemu_is_recent; then
    DEBIAN_FRONTEND=noninteractive as_root "installing qemu-user" \
      apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user >/dev/null \
      || die "installing qemu-user from bookworm-backports"
    qemu_is_recent || die "installing qemu-user from bookworm-backports" "qemu-i386 is older than 8"
  fi
fi

binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  as_root "mounting binfmt_misc" mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null \
    || die "mounting binfmt_misc"
fi
# The i386 ELF header, and the mask that ignores the header's padding and the type's
# low bit; F opens qemu-i386 once, at registration, so it works in any mount namespace.
entry=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F'
if ! grep -qs '^interpreter /usr/bin/qemu-i386$' "$binfmt/qemu-i386" \
   || ! grep -qs '^enabled$' "$binfmt/qemu-i386"; then
  step="registering qemu-i386 with binfmt_misc"
  [ "$SUDO" != "not root" ] || die "$step" "it needs root or sudo"
  if [ -e "$binfmt/qemu-i386" ]; then
    echo -1 | $SUDO tee "$binfmt/qemu-i386" >/dev/null 2>&1 || die "$step" "the old entry would not go"
  fi
  printf '%s' "$entry" | $SUDO tee "$binfmt/register" >/dev/null 2>&1 || die "$step"
fi
exit 0
