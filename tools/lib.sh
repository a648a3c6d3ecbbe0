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
