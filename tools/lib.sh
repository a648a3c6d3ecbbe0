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
#   apt_update                apt-get update as root ($SUDO); see below

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

# apt-get update that goes on without an index that fails (a mirror caught in the middle
# of a sync serves a file that no longer matches its signed InRelease, say): apt leaves
# such an index out and keeps every one that verified, and so does this, after saying
# in one line which indexes failed and why. Nothing unsigned is ever trusted. Sets
# apt_failed_suites to the suites that lost an index (one per line, may be empty).
# Returns 1 only when apt could not run at all.
apt_update() {
  local log status
  log=$(mktemp)
  $SUDO apt-get update -qq >"$log" 2>&1
  status=$?
  # "E: Failed to fetch URI/dists/SUITE/COMPONENT/binary-ARCH/FILE  REASON"
  apt_failed_suites=$(sed -nE 's#^[EW]: Failed to fetch [^ ]*/dists/([^/]+)/.*#\1#p;
    s#^[EW]: The repository .[^ ]+ ([^ ]+) (In)?Release. .*#\1#p' "$log" | sort -u)
  if [ -n "$apt_failed_suites" ]; then
    echo "apt-get update: left out $(sed -nE \
      's#^[EW]: Failed to fetch [^ ]*/dists/([^/]+)/([^/]+)/binary-([^/]+)/[^ ]*  *(.*[^ ]) *$#\1 \2 \3 (\4)#p;
       s#^[EW]: The repository .[^ ]+ ([^ ]+) (In)?Release. (.*)#\1 (\3)#p' "$log" \
      | sed -E 's/ Mirror sync in progress\?//; s/ \[IP: [^]]*\]//; s/\.\)$/)/' | sort -u \
      | paste -sd ';' | sed 's/;/; /g'), which failed; going on with every index that verified"
  elif [ "$status" -ne 0 ]; then
    grep -E '^(E|W):' "$log" | head -n 3 >&2
  fi
  rm -f "$log"
  [ -n "$apt_failed_suites" ] || [ "$status" -eq 0 ]
}
