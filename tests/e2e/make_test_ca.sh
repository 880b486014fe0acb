#!/usr/bin/env bash
# Makes the certificates of the mail tests:
#   make_test_ca.sh DIR  ->  DIR/ca.pem, ca.key         a test CA
#                            DIR/server.pem, server.key  "localhost" (and 127.0.0.1), signed by it
#                            DIR/untrusted.pem, .key     "localhost" again, self-signed, trusted by nobody
# RSA 2048 and SHA-256 with the extensions OpenSSL 3 and Windows' Schannel (Wine's too) insist
# on; valid from two days ago, so that a clock a little behind still takes them, for a year.
set -euo pipefail
dir=$1
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/openssl.cnf" <<'EOF'
[req]
distinguished_name = name
prompt = no
[name]
CN = unused
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[untrusted]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1
subjectKeyIdentifier = hash
EOF

# Signed with "openssl ca": OpenSSL 3.0 sets a start date in the past only there (-startdate).
mkdir -p "$work/db"
: >"$work/db/index.txt"
cat >>"$work/openssl.cnf" <<EOF
[signing]
dir = $work/db
database = \$dir/index.txt
new_certs_dir = \$dir
serial = \$dir/serial
default_md = sha256
policy = anything
unique_subject = no
copy_extensions = none
[anything]
organizationName = optional
commonName = supplied
EOF
start=$(date -u -d '2 days ago' +%Y%m%d%H%M%SZ)
end=$(date -u -d '365 days' +%Y%m%d%H%M%SZ)

# issue NAME SUBJECT EXTENSIONS [SELF]: a key, a request and its certificate, signed by the CA
# or, with SELF, by its own key.
issue() {
    local name=$1 subject=$2 extensions=$3 self=${4:-}
    openssl genrsa -out "$work/$name.key" 2048 2>/dev/null
    openssl req -new -config "$work/openssl.cnf" -key "$work/$name.key" -subj "$subject" -out "$work/$name.csr"
    openssl rand -hex 16 >"$work/db/serial"
    if [ -n "$self" ]; then
        openssl ca -batch -notext -config "$work/openssl.cnf" -name signing -selfsign \
            -keyfile "$work/$name.key" -startdate "$start" -enddate "$end" \
            -extfile "$work/openssl.cnf" -extensions "$extensions" \
            -in "$work/$name.csr" -out "$work/$name.pem" 2>"$work/ca.log" ||
            { cat "$work/ca.log" >&2; exit 1; }
    else
        openssl ca -batch -notext -config "$work/openssl.cnf" -name signing \
            -cert "$work/ca.pem" -keyfile "$work/ca.key" -startdate "$start" -enddate "$end" \
            -extfile "$work/openssl.cnf" -extensions "$extensions" \
            -in "$work/$name.csr" -out "$work/$name.pem" 2>"$work/ca.log" ||
            { cat "$work/ca.log" >&2; exit 1; }
    fi
}
issue ca "/O=ZEL Yedek tests/CN=ZEL Yedek test CA" ca self
issue server "/O=ZEL Yedek tests/CN=localhost" server
issue untrusted "/O=ZEL Yedek tests/CN=localhost" untrusted self

openssl verify -CAfile "$work/ca.pem" -purpose sslserver -verify_hostname localhost -verify_ip 127.0.0.1 \
    "$work/server.pem" >/dev/null
for name in ca server untrusted; do
    cp "$work/$name.pem" "$dir/$name.pem"
    install -m 600 "$work/$name.key" "$dir/$name.key"
done
