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
plan=$(mktemp)
fallback=$(mktemp -d)
trap 'rm -rf "$tmp_source" "$plan" "$fallback"' EXIT

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

# The machine's apt sources less the suites in $apt_failed_suites, in $fallback/sources,
# and a preference that lets apt take the versions of the suites kept (backports aside)
# even where that moves a package down, in $fallback/preferences.
write_fallback_sources() {
  mkdir -p "$fallback/sources"
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case $f in
      *.sources)   # deb822: the failed suites leave each stanza's Suites; an empty stanza goes
        awk -v failed="$apt_failed_suites" '
          BEGIN { n = split(failed, list, "\n"); for (i = 1; i <= n; i++) drop[list[i]] = 1 }
          function flush() { if (stanza != "" && keep) printf "%s\n", stanza; stanza = ""; keep = 1 }
          BEGIN { keep = 1 }
          /^[[:space:]]*$/ { flush(); next }
          /^Suites:/ {
            line = "Suites:"; kept = 0
            for (i = 2; i <= NF; i++) if (!($i in drop)) { line = line " " $i; kept++ }
            if (!kept) keep = 0
            stanza = stanza line "\n"; next
          }
          { stanza = stanza $0 "\n" }
          END { flush() }' "$f" >"$fallback/sources/$(basename "$f")" ;;
      *)           # one line each: "deb [options] URI SUITE COMPONENTS..."
        awk -v failed="$apt_failed_suites" '
          BEGIN { n = split(failed, list, "\n"); for (i = 1; i <= n; i++) drop[list[i]] = 1 }
          { line = $0; sub(/\[[^]]*\]/, "", line); split(line, field, " ") }
          !(field[1] ~ /^deb/ && (field[3] in drop))' "$f" >"$fallback/sources/$(basename "$f" .list).list" ;;
    esac
  done
  local suite
  for suite in $(cat "$fallback"/sources/* | sed -nE 's/^Suites://p; s/^deb(-src)? +(\[[^]]*\] +)?[^ ]+ +([^ ]+).*/\3/p' \
                 | tr ' ' '\n' | sort -u); do
    case $suite in *-backports) continue ;; esac
    printf 'Package: *\nPin: release n=%s\nPin-Priority: 1001\n\n' "$suite"
  done >"$fallback/preferences"
}

# Installs wine32:i386. Its Multi-Arch: same libraries must have the very version of
# their amd64 halves, so apt moves those halves to the version that the i386 side has
# (mostly up to the point release); the packages that move are named. When an index
# failed, the i386 side may lack versions that amd64 packages on the machine have
# (installed from the suite that failed); then the install resolves against the suites
# that are left, moving just the packages it needs to their versions there.
install_wine32() {
  local options=() how="" moved
  if ! $SUDO apt-get -s install --no-install-recommends wine32:i386 >"$plan" 2>&1; then
    [ -n "$apt_failed_suites" ] || die "resolving wine32:i386" "$(grep -m1 -E '^ |^E:' "$plan" | sed 's/^ *//')"
    write_fallback_sources
    options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$fallback/sources"
             -o "Dir::Etc::Preferences=$fallback/preferences" --allow-downgrades)
    how=" without $(paste -sd ' ' <<<"$apt_failed_suites"), whose index failed"
    $SUDO apt-get -s "${options[@]}" install --no-install-recommends wine32:i386 >"$plan" 2>&1 \
      || die "resolving wine32:i386$how" "$(grep -m1 -E '^ |^E:' "$plan" | sed 's/^ *//')"
  fi
  [ -z "$how" ] || echo "32-bit runner: wine32:i386 resolves$how"
  moved=$(sed -nE 's/^Inst ([^ :]+) \[([^]]+)\] \(([^ ]+) .*/  \1 \2 -> \3/p' "$plan")
  [ -z "$moved" ] || printf '32-bit runner: amd64 packages moved to the version of their i386 halves:\n%s\n' "$moved"
  DEBIAN_FRONTEND=noninteractive as_root "installing wine32:i386" \
    apt-get install -y -qq --no-install-recommends "${options[@]}" wine32:i386 >"$plan" 2>&1 \
    || die "installing wine32:i386$how" "$(grep -m1 '^E:' "$plan")"
}

if ! installed wine32:i386 || ! qemu_is_recent; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root "adding the i386 architecture" dpkg --add-architecture i386 || die "adding the i386 architecture"
  fi
  add_backports_source || die "adding the bookworm-backports source" "no bookworm entry in apt's sources"
  echo "32-bit runner: installing wine32:i386 and qemu-user from bookworm-backports (about 900 MB)"
  [ "$SUDO" != "not root" ] || die "apt-get update" "it needs root or sudo"
  apt_update || die "apt-get update"
  installed wine32:i386 || install_wine32
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
