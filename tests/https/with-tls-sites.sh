#!/bin/bash
# Runs one command beside HTTPS test sites (tests/testsite/with-testsite.sh --tls), each serving
# the same games with another certificate or sending the search on, and stops them
# when it ends:
#   TURNBELL_TLS_TRUSTED     a certificate for localhost from a CA that $WINEPREFIX trusts
#   TURNBELL_TLS_UNTRUSTED   one for localhost from a CA that it does not trust
#   TURNBELL_TLS_WRONGHOST   one from the trusted CA for another host name
#   TURNBELL_TLS_EXPIRED     one from the trusted CA for localhost, out of date
#   TURNBELL_TLS_TO_HTTP     the trusted certificate; sends the search on (307) to the
#                            plain HTTP site
#   TURNBELL_TLS_TO_HTTPS    the trusted certificate; sends the search on (307) to the
#                            trusted site
#   TURNBELL_TLS_SCRIPTED    the trusted certificate; serves the games until a test
#                            scripts it otherwise (over HTTPS: its control interface too)
#   TURNBELL_TESTSITE_PORT   the plain HTTP site (tests/support/testsite_client.h reaches
#                            it): it serves the games until a test scripts it otherwise
# Each variable holds the site's port. The trusted CA goes into the prefix's own Root
# store (tests/testsite/test-ca.sh trust): the machine's trust store is never touched.
#   tests/https/with-tls-sites.sh command [args...]
set -u
testsite=$(cd "$(dirname "$0")/../testsite" && pwd)

site() {   # NAME CA-FOLDER CERTIFICATE [SCENARIO]: with-testsite.sh arguments for one site
  echo "--scenario $work/${4:-scenario}.json --tls $work/$2/$3.pem $work/$2/$3.key --port-variable TURNBELL_TLS_$1 --"
}

# The second half, run beside the plain and the trusted site: the sites whose search
# goes on to one of them (a redirect names the port it goes to).
if [ "${1:-}" = --redirecting ]; then
  shift
  work=$TURNBELL_TLS_WORK
  for target in "to-http http://localhost:$TURNBELL_TESTSITE_PORT" "to-https https://localhost:$TURNBELL_TLS_TRUSTED"; do
    printf '{"default": {"status": 307, "headers": [["Location", "%s/index.php?p=recherche"]]}}\n' \
      "${target#* }" >"$work/${target%% *}.json"
  done
  exec "$testsite/with-testsite.sh" $(site TO_HTTP trusted localhost to-http) \
    "$testsite/with-testsite.sh" $(site TO_HTTPS trusted localhost to-https) "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$testsite/test-ca.sh" make "$work/trusted" >/dev/null && "$testsite/test-ca.sh" make "$work/other" >/dev/null \
  || { echo "with-tls-sites: the test certificates could not be made" >&2; exit 1; }
"$testsite/test-ca.sh" trust "$work/trusted" >/dev/null \
  || { echo "with-tls-sites: the test CA could not be trusted in $WINEPREFIX" >&2; exit 1; }
cp "$testsite/scenarios/ann-lee.json" "$work/scenario.json"

TURNBELL_TLS_WORK=$work "$testsite/with-testsite.sh" --scenario "$work/scenario.json" -- \
  "$testsite/with-testsite.sh" $(site TRUSTED trusted localhost) \
  "$testsite/with-testsite.sh" $(site UNTRUSTED other localhost) \
  "$testsite/with-testsite.sh" $(site WRONGHOST trusted wronghost) \
  "$testsite/with-testsite.sh" $(site EXPIRED trusted expired) \
  "$testsite/with-testsite.sh" $(site SCRIPTED trusted localhost) "$0" --redirecting "$@"
