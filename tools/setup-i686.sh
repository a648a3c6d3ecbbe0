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
# step and the log of apt's output (in build/setup-logs/), and exit code 1. No apt call
# can hang: each has apt's network waits bounded and a time limit (tools/lib.sh).
set -uo pipefail
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if sudo -n true 2>/dev/null; then SUDO="sudo"; else SUDO="not root"; fi
fi
# The one line of a failure, last on the screen: the step, what failed, and where
# apt's whole output is.
die() {
  local where=""
  [ -z "${3:-}" ] || where="; apt's output: $3"
  echo "32-bit runner: $1 failed${2:+ ($2)}$where; set TURNBELL_SKIP_I686=1 to run without the 32-bit build" >&2
  exit 1
}
# Runs a command as root; the caller names the step for the message when root is missing.
as_root() {
  [ "$SUDO" != "not root" ] || die "$1" "it needs root or sudo"
  shift
  $SUDO "$@"
}
mkdir -p "$setup_logs"
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

# The packages that moved in $plan (an apt-get -s plan), as "name old -> new", those
# that move down apart from those that move up. Only installed packages move: they are
# the ones whose Multi-Arch: same i386 halves come with wine32:i386 and must be of the
# same version, and those that must move with them (openssl with libssl3, say).
print_moved() {
  local up="" down="" name old new
  while read -r name old new; do
    if dpkg --compare-versions "$old" lt "$new"; then
      up+="  $name $old -> $new"$'\n'
    else
      down+="  $name $old -> $new"$'\n'
    fi
  done < <(sed -nE 's/^Inst ([^ :]+) \[([^]]+)\] \(([^ ]+) .*/\1 \2 \3/p' "$plan")
  [ -z "$up" ] || printf '32-bit runner: packages moved up, so that the 32-bit Wine loader can be installed:\n%s' "$up"
  [ -n "$down" ] || return 0
  local count security=""
  count=$(grep -c . <<<"$down")
  grep -qE -- '-security$' <<<"$apt_failed_suites" && security=", security fixes among them"
  printf '32-bit runner: packages moved DOWN, so that the 32-bit Wine loader can be installed without %s:\n%s' \
    "$(paste -sd ' ' <<<"$apt_failed_suites")" "$down"
  echo "32-bit runner: warning: these $count packages are now older than what this machine had$security;" \
    "once every index verifies again, 'apt-get update && apt-get upgrade' (as root) brings them back"
}

# Installs wine32:i386 and qemu-user from bookworm-backports, whichever is missing, in one
# apt-get call: one download, one unpacking, one pass of dpkg's triggers. wine32:i386's
# Multi-Arch: same libraries must have the very version of their amd64 halves, so apt
# moves those halves to the version that the i386 side has (mostly up to the point
# release); the packages that move are named. When an index failed, the i386 side may
# lack versions that amd64 packages on the machine have (installed from the suite that
# failed); then the install resolves against the suites that are left, moving just the
# packages it needs to their versions there, and those moved down are named apart.
install_runner() {
  local options=() how="" wanted=() log=$setup_logs/setup-i686.log
  installed wine32:i386 || wanted+=(wine32:i386)
  if ! qemu_is_recent; then
    if grep -qx bookworm-backports <<<"$apt_failed_suites" \
       && ! apt-cache madison qemu-user | grep -q bookworm-backports; then
      die "installing qemu-user from bookworm-backports" \
        "that suite has no verified index: $(grep '^bookworm-backports ' <<<"$apt_failed" | one_line)" "$setup_logs/apt-update.log"
    fi
    wanted+=(qemu-user/bookworm-backports)
  fi
  : >"$log"
  if ! apt_get 120 "$plan" -s install --no-install-recommends "${wanted[@]}"; then
    [ -n "$apt_failed_suites" ] || die "resolving ${wanted[*]}" "$(apt_error "$plan")" "$log"
    write_fallback_sources
    options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$fallback/sources"
             -o "Dir::Etc::Preferences=$fallback/preferences" --allow-downgrades)
    how=" without $(paste -sd ' ' <<<"$apt_failed_suites"), whose index failed"
    cat "$plan" >>"$log"
    : >"$plan"
    apt_get 120 "$plan" -s "${options[@]}" install --no-install-recommends "${wanted[@]}" \
      || { cat "$plan" >>"$log"; die "resolving ${wanted[*]}$how" "$(apt_error "$plan")" "$log"; }
    echo "32-bit runner: ${wanted[*]} resolve$how"
  fi
  cat "$plan" >>"$log"
  print_moved
  local started downloaded
  started=$(date +%s)
  apt_get 1200 "$log" install -y -q --no-install-recommends --download-only "${options[@]}" "${wanted[@]}" \
    || die "downloading ${wanted[*]}$how" "$(apt_error "$log")" "$log"
  downloaded=$(date +%s)
  apt_get 1800 "$log" install -y -q --no-install-recommends "${options[@]}" "${wanted[@]}" \
    || die "installing ${wanted[*]}$how" "$(apt_error "$log")" "$log"
  echo "32-bit runner: installed in $(( $(date +%s) - started )) s (downloads $((downloaded - started)) s," \
    "unpacking and configuring $(( $(date +%s) - downloaded )) s)"
}

if ! installed wine32:i386 || ! qemu_is_recent; then
  [ "$SUDO" != "not root" ] || die "installing wine32:i386 and qemu-user" "it needs root or sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root "adding the i386 architecture" dpkg --add-architecture i386 || die "adding the i386 architecture"
  fi
  add_backports_source || die "adding the bookworm-backports source" "no bookworm entry in apt's sources"
  echo "32-bit runner: installing wine32:i386 and qemu-user from bookworm-backports (about 900 MB)"
  if apt_lists_fresh; then
    apt_failed_suites="" apt_failed=""
  else
    : >"$setup_logs/apt-update.log"
    apt_update "$setup_logs/apt-update.log" || die "apt-get update" "$apt_why" "$setup_logs/apt-update.log"
  fi
  install_runner
  qemu_is_recent || die "installing qemu-user from bookworm-backports" "qemu-i386 is older than 8"
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
