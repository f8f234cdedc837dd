#!/usr/bin/env bash
# Makes a private certificate authority and a server certificate signed by it, for HAProxy's TLS.
#
#   deploy/make-certificates.sh FOLDER NAME...
#
# NAME: each DNS name or IP address clients use to reach the balancer (the first is also the subject).
# FOLDER/ca.pem    the authority's certificate: give it to every Quillora as ca_file= (it is public)
# FOLDER/ca.key    the authority's private key: keep it offline; an existing ca.pem/ca.key pair is reused
# FOLDER/server.pem  certificate and private key in one file: HAProxy's "bind ... ssl crt FOLDER/server.pem"
set -euo pipefail
if [ $# -lt 2 ]; then
  sed -n '2,9s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
folder=$1
shift
mkdir -p "$folder"
umask 077
names=()
for name in "$@"; do
  if [[ $name =~ ^[0-9.]+$ || $name == *:* ]]; then
    names+=("IP:$name")
  else
    names+=("DNS:$name")
  fi
done
san=$(IFS=,; echo "${names[*]}")

if [ ! -f "$folder/ca.pem" ] || [ ! -f "$folder/ca.key" ]; then
  openssl req -x509 -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -sha256 -days 3650 \
    -subj "/CN=Quillora private CA $(date -u +%Y%m%d%H%M%S)" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
    -keyout "$folder/ca.key" -out "$folder/ca.pem" 2>/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -sha256 -subj "/CN=$1" \
  -keyout "$work/server.key" -out "$work/server.csr" 2>/dev/null
printf 'subjectAltName=%s\nbasicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n' \
  "$san" >"$work/extensions"
openssl x509 -req -in "$work/server.csr" -CA "$folder/ca.pem" -CAkey "$folder/ca.key" -CAcreateserial \
  -CAserial "$work/ca.srl" -days 825 -sha256 -extfile "$work/extensions" -out "$work/server.crt" 2>/dev/null
cat "$work/server.crt" "$work/server.key" >"$folder/server.pem"
chmod 644 "$folder/ca.pem"
echo "$folder/ca.pem: the authority (ca_file= for Quillora); $folder/server.pem: HAProxy's crt for $san"
