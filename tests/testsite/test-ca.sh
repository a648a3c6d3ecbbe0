#!/bin/bash
# A private certificate authority for the HTTPS tests, made with openssl alone, and
# its import into a throwaway Wine prefix. Never touches the machine's trust store.
#
#   tests/testsite/test-ca.sh make DIR [HOST]   writes into DIR (made if missing, files overwritten):
#     ca.pem ca.der ca.key             the test CA (PEM and DER)
#     localhost.pem localhost.key      a certificate for HOST (DNS:HOST), localhost by default
#     wronghost.pem wronghost.key      one for not-localhost.example, same CA
#     expired.pem expired.key          one for HOST that expired on 2020-01-02
#   All three are signed by the CA; the .pem files hold the certificate alone, not
#   the chain. The CA's key is RSA 2048: Wine 8's crypt32 refuses an ECDSA signature
#   whose r or s has a leading zero byte (about 1 in 128 signatures), which would make
#   a run fail now and then. The servers' keys are EC P-256, quick to make; their
#   handshake signatures are checked by GnuTLS, which has no such fault.
#
#   tests/testsite/test-ca.sh trust DIR   makes DIR/ca.pem a trusted root in $WINEPREFIX (the
#     current user's "Root" store), so that WinINet accepts localhost.pem there.
#     Wine's certutil -addstore does nothing, so the store's registry key is written
#     the way crypt32 writes it itself.
set -euo pipefail
tools=$(cd "$(dirname "$0")/../../tools" && pwd)

usage() {
  echo "usage: $0 make DIR [HOST] | trust DIR" >&2
  exit 2
}

# Everything is issued with "openssl ca", because it is the one openssl command in
# 3.0 that takes a start and an end date (the expired certificate needs an end date
# in the past). Its database lives in a scratch folder, so every run starts afresh.
write_config() {
  cat >"$1" <<'EOF'
[ca]
default_ca = test_ca

[test_ca]
dir = $ENV::TESTCA_WORK
database = $dir/index.txt
serial = $dir/serial
new_certs_dir = $dir
default_md = sha256
policy = any_name
# The valid and the expired certificates share their subject (CN=HOST).
unique_subject = no
email_in_dn = no

[any_name]
commonName = supplied

[req]
distinguished_name = req_name
prompt = no

[req_name]
CN = unused

[ca_cert]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash

[server_cert]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
subjectAltName = DNS:$ENV::TESTCA_HOST
EOF
}

# issue NAME HOST START END [ca options...]: a new key NAME.key and its certificate
# NAME.pem for HOST, valid from START to END (openssl's YYYYMMDDHHMMSSZ).
issue() {
  local name=$1 host=$2 start=$3 end=$4; shift 4
  # Read by every command that loads the configuration, not only by "openssl ca".
  export TESTCA_HOST=$host
  local key=(-algorithm EC -pkeyopt ec_paramgen_curve:P-256)
  [ "$name" = ca ] && key=(-algorithm RSA -pkeyopt rsa_keygen_bits:2048)
  openssl genpkey -quiet "${key[@]}" -out "$out/$name.key"
  openssl req -new -config "$config" -key "$out/$name.key" -subj "/CN=$host" -out "$TESTCA_WORK/$name.csr"
  openssl ca -batch -notext -config "$config" -in "$TESTCA_WORK/$name.csr" \
    -out "$out/$name.pem" -startdate "$start" -enddate "$end" "$@" 2>"$TESTCA_WORK/ca.log" \
    || { cat "$TESTCA_WORK/ca.log" >&2; return 1; }
}

make_ca() {
  out=$1
  local host=${2:-localhost}
  mkdir -p "$out"
  TESTCA_WORK=$(mktemp -d)
  export TESTCA_WORK
  trap 'rm -rf "$TESTCA_WORK"' EXIT
  config=$TESTCA_WORK/openssl.cnf
  write_config "$config"
  : >"$TESTCA_WORK/index.txt"
  openssl rand -hex 8 >"$TESTCA_WORK/serial"

  # The CA's validity starts before the expired certificate's, so that a chain
  # check finds that certificate out of date and nothing else wrong.
  issue ca "Turnbell test CA" 20190101000000Z 20491231235959Z \
    -selfsign -keyfile "$out/ca.key" -extensions ca_cert
  openssl x509 -in "$out/ca.pem" -outform DER -out "$out/ca.der"
  local signer=(-cert "$out/ca.pem" -keyfile "$out/ca.key" -extensions server_cert)
  issue localhost "$host" 20190101000000Z 20491231235959Z "${signer[@]}"
  issue wronghost not-localhost.example 20190101000000Z 20491231235959Z "${signer[@]}"
  issue expired "$host" 20200101000000Z 20200102000000Z "${signer[@]}"
}

# The Root store key holds one binary value, Blob: a list of properties, each
# property id, 1, data length (three 32-bit little-endian numbers), then the data.
# Property 3 is the SHA-1 of the certificate, property 32 its DER bytes.
le32() {
  printf '%02x\n%02x\n%02x\n%02x\n' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255))
}

hex_bytes() {
  od -An -v -tx1 "$1" | tr -s ' ' '\n' | sed '/^$/d'
}

# The bytes (two hex digits a line) as a .reg hex: value, 25 bytes a line with a
# trailing backslash, as regedit writes it: one line would be thousands of characters.
reg_hex() {
  awk 'NR > 1 { printf ","; if ((NR - 1) % 25 == 0) printf "\\\r\n  " } { printf "%s", $0 }'
}

trust_ca() {
  local dir=$1
  [ -n "${WINEPREFIX:-}" ] || { echo "$0: set WINEPREFIX to the Wine prefix that is to trust the CA" >&2; exit 2; }
  [ -f "$dir/ca.pem" ] || { echo "$0: no $dir/ca.pem (run \"$0 make $dir\" first)" >&2; exit 1; }
  local thumb
  work=$(mktemp -d)  # not local: the EXIT trap reads it
  trap 'rm -rf "$work"' EXIT
  openssl x509 -in "$dir/ca.pem" -outform DER -out "$work/ca.der"
  openssl dgst -sha1 -binary -out "$work/ca.sha1" "$work/ca.der"
  thumb=$(hex_bytes "$work/ca.sha1" | tr -d '\n' | tr a-f A-F)
  {
    printf 'REGEDIT4\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\%s]\r\n' "$thumb"
    printf '"Blob"=hex:'
    { le32 3; le32 1; le32 20; hex_bytes "$work/ca.sha1"
      le32 32; le32 1; le32 "$(stat -c %s "$work/ca.der")"; hex_bytes "$work/ca.der"; } | reg_hex
    printf '\r\n\r\n'
  } >"$work/ca.reg"
  "$tools/wine-run.sh" reg import "$work/ca.reg"
  # Wine's reg import skips a value it cannot read and still exits 0: check.
  "$tools/wine-run.sh" reg query "HKCU\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$thumb" /v Blob >/dev/null \
    || { echo "$0: the CA is not in $WINEPREFIX's Root store after the import" >&2; exit 1; }
  echo "trusted $thumb in $WINEPREFIX"
}

[ $# -ge 2 ] || usage
case "$1" in
  make) [ $# -le 3 ] || usage; make_ca "$2" "${3:-}" ;;
  trust) [ $# -eq 2 ] || usage; trust_ca "$2" ;;
  *) usage ;;
esac
