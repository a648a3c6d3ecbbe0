#!/bin/bash
# Runs one command beside four HTTPS test sites (tools/testsite.py --tls) on free
# loopback ports, each serving the same games with another certificate, and stops them
# by their pids when the command ends, however it ends:
#   TURNBELL_TLS_TRUSTED     a certificate for localhost from a CA that $WINEPREFIX trusts
#   TURNBELL_TLS_UNTRUSTED   one for localhost from a CA that it does not trust
#   TURNBELL_TLS_WRONGHOST   one from the trusted CA for another host name
#   TURNBELL_TLS_EXPIRED     one from the trusted CA for localhost, out of date
# Each variable holds the site's port. The trusted CA goes into the prefix's own Root
# store (tools/test-ca.sh trust): the machine's trust store is never touched.
#   tests/https/with-tls-sites.sh command [args...]
set -u
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
work=$(mktemp -d)
pids=()
stop_sites() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap stop_sites EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

"$tools/test-ca.sh" make "$work/trusted" >/dev/null && "$tools/test-ca.sh" make "$work/other" >/dev/null \
  || { echo "with-tls-sites: the test certificates could not be made" >&2; exit 1; }
"$tools/test-ca.sh" trust "$work/trusted" >/dev/null \
  || { echo "with-tls-sites: the test CA could not be trusted in $WINEPREFIX" >&2; exit 1; }
cat >"$work/scenario.json" <<'JSON'
{"sections": [{"type": "Ploc", "games": [
  {"id": 101, "active": "Ann+Lee", "players": [{"id": 17, "name": "Ann Lee"}, {"id": 18, "name": "Bob"}]},
  {"id": 102, "active": "Bob", "players": [{"id": 18, "name": "Bob"}]}]}]}
JSON

# start NAME CERT KEY: a site on a free port; its port goes into TURNBELL_TLS_NAME.
start() {
  local out="$work/$1.out"
  "$tools/python3" "$tools/testsite.py" --host 127.0.0.1 --port 0 --watch-parent \
    --scenario "$work/scenario.json" --tls "$2" "$3" >"$out" &
  pids+=($!)
  local port="" pid=$! i
  for i in $(seq 1 200); do
    port=$(awk '/^listening /{print $3; exit}' "$out")
    [ -n "$port" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  [ -n "$port" ] || { echo "with-tls-sites: the $1 site did not start" >&2; exit 1; }
  export "TURNBELL_TLS_$1=$port"
}
start TRUSTED "$work/trusted/localhost.pem" "$work/trusted/localhost.key"
start UNTRUSTED "$work/other/localhost.pem" "$work/other/localhost.key"
start WRONGHOST "$work/trusted/wronghost.pem" "$work/trusted/wronghost.key"
start EXPIRED "$work/trusted/expired.pem" "$work/trusted/expired.key"
"$@"
