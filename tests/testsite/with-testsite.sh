#!/bin/bash
# Runs one command beside a fresh test site (tests/testsite/testsite.py) on a free loopback
# port, and stops the site by its pid when the command ends, however it ends.
#   tests/testsite/with-testsite.sh [--scenario FILE] [--log FILE] [--tls CERT KEY] [--ipv6]
#                                   [--port-variable NAME] [--] command [args...]
# The command finds the site in TURNBELL_TESTSITE_HOST and TURNBELL_TESTSITE_PORT (or
# the variable NAME); --tls makes it an HTTPS site, --ipv6 has it listen on [::1] too.
# The exit status is the command's.
set -u
here=$(cd "$(dirname "$0")" && pwd)
site_args=()
port_variable=TURNBELL_TESTSITE_PORT
while [ $# -gt 0 ]; do
  case "$1" in
    --scenario|--log) site_args+=("$1" "$2"); shift 2 ;;
    --tls) site_args+=("$1" "$2" "$3"); shift 3 ;;
    --ipv6) site_args+=("$1"); shift ;;
    --port-variable) port_variable=$2; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--scenario FILE] [--log FILE] [--tls CERT KEY] [--ipv6] [--port-variable NAME] [--] command [args...]" >&2; exit 2; }

out=$(mktemp)
"$here/../../tools/python3" "$here/testsite.py" --host 127.0.0.1 --port 0 --watch-parent "${site_args[@]}" >"$out" &
site=$!
stop_site() {
  kill "$site" 2>/dev/null
  wait "$site" 2>/dev/null
  rm -f "$out"
}
trap stop_site EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

port=""
for _ in $(seq 1 200); do
  port=$(awk '/^listening /{print $3; exit}' "$out")
  [ -n "$port" ] && break
  kill -0 "$site" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$port" ]; then
  echo "with-testsite: the test site did not start" >&2
  exit 1
fi
export TURNBELL_TESTSITE_HOST=127.0.0.1 "$port_variable=$port"
"$@"
