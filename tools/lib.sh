# shellcheck shell=bash
# Sourced by the project's scripts: the folders they work in and the steps that several
# of them take.
#   root                      the checkout
#   build                     the build folder: $TURNBELL_BUILD, or build/ in the checkout
#   installed PACKAGE         true when the Debian package is installed
#   build_preset DIR PRESET [CMAKE_ARGUMENTS...]
#                             configures PRESET in DIR and builds it (only the targets in
#                             $targets, when set), with the logs in DIR.configure.log and
#                             DIR.build.log; on a failure it shows the log's end on stderr
#                             and returns 1
#   apt_get LIMIT LOG ARGS... apt-get as root ($SUDO) with its network waits bounded and
#                             at most LIMIT seconds in all, its output appended to LOG
#   apt_update LOG            apt-get update through apt_get; see below
#   apt_error LOG             the first error line of apt's last run in LOG, for a one-line message
#   apt_lists_fresh           true when this set-up's last apt-get update is recent

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TURNBELL_BUILD:-$root/build}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

build_preset() {
  local dir=$1 preset=$2
  shift 2
  mkdir -p "$(dirname "$dir")"
  (cd "$root" && cmake --preset "$preset" -B "$dir" "$@") >"$dir.configure.log" 2>&1 \
    || { cat "$dir.configure.log" >&2; echo "configuring $dir failed" >&2; return 1; }
  cmake --build "$dir" -j "$(nproc)" ${targets:+--target $targets} >"$dir.build.log" 2>&1 \
    || { grep -E "error|warning" "$dir.build.log" | head -n 40 >&2; tail -n 20 "$dir.build.log" >&2
         echo "building $dir failed" >&2; return 1; }
}

# Where the set-up steps keep apt's output; a step that fails names its file.
setup_logs=$build/setup-logs

# apt's own network waits, bounded: one retry, at once, and a download that receives
# nothing for 30 s fails. apt's own retries wait between tries, and measured against a
# mirror that answered 503 for a suite's InRelease, apt-get update (apt 2.6) then
# fetched nothing more and had not ended after 300 s; without the wait it ended in 12 s.
apt_bounds=(-o Acquire::Retries=1 -o Acquire::Retries::Delay=false
            -o Acquire::http::Timeout=30 -o Acquire::https::Timeout=30
            -o Acquire::ftp::Timeout=30 -o DPkg::Lock::Timeout=60)
# A throwaway CI machine need not survive a power cut in the middle of an install: dpkg
# there skips its fsyncs. A user's own machine keeps them.
[ "${CI:-}" != true ] || apt_bounds+=(-o Dpkg::Options::=--force-unsafe-io)

apt_get() {
  local limit=$1 log=$2 status
  shift 2
  mkdir -p "$(dirname "$log")"
  echo "== $(date '+%F %T') apt-get $*" >>"$log"
  # The time limit is the last resort, for a wait that apt's own bounds do not cover.
  $SUDO timeout -k 10 "$limit" env DEBIAN_FRONTEND=noninteractive \
    apt-get "${apt_bounds[@]}" "$@" >>"$log" 2>&1 </dev/null
  status=$?
  [ "$status" -ne 124 ] || echo "E: stopped after $limit s" >>"$log"
  return "$status"
}

# Its input's lines as one, joined by "; ".
one_line() { awk 'NR > 1 { printf "; " } { printf "%s", $0 } END { if (NR) print "" }'; }

apt_error() {
  awk '/^== / { first = "" } /^E: / && first == "" { first = $0 } END { print first }' "$1" \
    | sed -E 's/ \[IP: [^]]*\]//'
}

# The indexes that the last apt-get update in LOG could not fetch or verify, one a line:
# "SUITE FILE (what apt said)", FILE being InRelease, Release or "COMPONENT ARCH Packages";
# all that apt said of one index goes in its one line.
apt_failed_indexes() {
  sed -nE '
    s#^[EW]: Failed to fetch [^ ]*/dists/([^/ ]+)/(In)?Release  +(.*)#\1 \2Release (\3)#p
    s#^[EW]: Failed to fetch [^ ]*/dists/([^/ ]+)/([^/ ]+)/binary-([^/ ]+)/(Packages|Translation)[^ ]*  +(.*)#\1 \2 \3 \4 (\5)#p
    s#^[EW]: Failed to fetch [^ ]*/dists/([^/ ]+)/([^/ ]+)/i18n/Translation[^ ]*  +(.*)#\1 \2 Translation (\3)#p
    s#^[EW]: The repository .[^ ]+ ([^ ]+) (In)?Release. (.*)\.$#\1 \2Release (\3)#p
    s#^[EW]: GPG error: [^ ]+ ([^ ]+) (In)?Release: (.*)#\1 \2Release (\3)#p' "$1" \
    | sed -E 's/ \[IP: [^]]*\]//; s/ Mirror sync in progress\?//; s/  +/ /g; s/\.\)$/)/' \
    | awk '{ i = index($0, " ("); key = substr($0, 1, i - 1); why = substr($0, i + 2, length($0) - i - 2)
             if (!(key in said)) { order[++n] = key; said[key] = why }
             else if (index(said[key], why) == 0) said[key] = said[key] "; " why }
           END { for (k = 1; k <= n; k++) print order[k] " (" said[order[k]] ")" }'
}

# apt-get update that goes on without an index that fails (a mirror caught in the middle
# of a sync serves a file that no longer matches its signed InRelease, say): apt leaves
# such an index out, or keeps its copy from an earlier update, and uses every one that
# verified; this says in one line which indexes failed and what apt said. Nothing
# unsigned is ever trusted. Sets apt_failed_suites to the suites that lost an index (one
# per line, may be empty) and apt_failed to the failed indexes. Returns 1, with the
# reason in apt_why, when apt could not run, was stopped, or no suite verified at all.
apt_update() {
  local log=$1 status suites verified=""
  apt_why="" apt_failed="" apt_failed_suites=""
  apt_get 300 "$log" update
  status=$?
  apt_failed=$(apt_failed_indexes "$log")
  # shellcheck disable=SC2034  # read by the scripts that source this file
  apt_failed_suites=$(cut -d' ' -f1 <<<"$apt_failed" | sed '/^$/d' | sort -u)
  if [ "$status" -eq 124 ]; then
    apt_why="stopped after 300 s"
    return 1
  fi
  # A suite verified when its InRelease (or Release) did.
  # shellcheck disable=SC2016  # $(RELEASE) is apt's own field, not the shell's
  suites=$(apt-get indextargets --format '$(RELEASE)' 2>/dev/null | sed '/^$/d' | sort -u)
  local suite
  for suite in $suites; do
    grep -qE "^$suite (In)?Release " <<<"$apt_failed" || verified+="$suite "
  done
  if [ -n "$apt_failed" ]; then
    if [ -z "$verified" ]; then
      apt_why="no index verified: $(one_line <<<"$apt_failed")"
      return 1
    fi
    echo "apt-get update: these indexes failed: $(one_line <<<"$apt_failed");" \
      "going on with every index that verified (apt's output: $log)"
  elif [ "$status" -ne 0 ]; then
    apt_why=$(apt_error "$log")
    apt_why=${apt_why:-exit code $status}
    return 1
  fi
  [ -n "$apt_failed" ] || touch "$setup_logs/apt-updated"
  return 0
}

# True when an apt-get update of this set-up verified every index less than an hour ago
# and nothing has changed apt's sources or dpkg's architectures since: then the lists
# are fresh and a second update would fetch nothing new.
apt_lists_fresh() {
  local stamp=$setup_logs/apt-updated f
  [ -n "$(find "$stamp" -mmin -60 2>/dev/null)" ] || return 1
  for f in /etc/apt/sources.list /etc/apt/sources.list.d /etc/apt/sources.list.d/* /var/lib/dpkg/arch; do
    [ ! -e "$f" ] || [ "$stamp" -nt "$f" ] || return 1
  done
}
