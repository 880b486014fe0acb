#!/usr/bin/env bash
# Puts the mail tests' CA among this machine's trusted roots, or takes it out again (as root):
#   wine_test_ca.sh add|remove CA_PEM
# Wine's crypt32 trusts what the host trusts: it reads /etc/ssl/certs/ca-certificates.crt, which
# update-ca-certificates writes from /usr/local/share/ca-certificates. Every Wine process reads it
# when it starts, so an added CA counts at once, in a prefix booted before too; a removed one is
# still trusted until the prefix's wineserver ends (Wine keeps the roots in a volatile registry
# key for the server's life). Note: Wine 8's Schannel checks no certificate by itself; the CA
# counts where the chain is checked through crypt32.
# The file is named after the certificate's fingerprint: a second call changes nothing, and the
# CA of one run never removes another's.
set -euo pipefail
action=$1
ca=$2
local_dir=/usr/local/share/ca-certificates
certs=/etc/ssl/certs

if ! command -v update-ca-certificates >/dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get -o DPkg::Lock::Timeout=600 install -y -q ca-certificates >/dev/null 2>&1 ||
        { apt-get update -q >/dev/null && apt-get -o DPkg::Lock::Timeout=600 install -y -q ca-certificates >/dev/null; }
fi
fingerprint=$(openssl x509 -in "$ca" -noout -fingerprint -sha256 | cut -d= -f2 | tr -d : | cut -c1-16)
name=zel-yedek-test-ca-$fingerprint

case $action in
add)
    cmp -s "$ca" "$local_dir/$name.crt" && [ -L "$certs/$name.pem" ] && exit 0
    mkdir -p "$local_dir"
    install -m 644 "$ca" "$local_dir/$name.crt"
    update-ca-certificates >/dev/null 2>&1
    ;;
remove)
    [ -e "$local_dir/$name.crt" ] || [ -L "$certs/$name.pem" ] || exit 0
    rm -f "$local_dir/$name.crt"
    # update-ca-certificates writes the bundle anew, but leaves the links of a local CA that is
    # gone (its own and the hash link to it) when it sees nothing else change.
    find "$certs" -maxdepth 1 -type l \( -name "$name.pem" -o -lname "$name.pem" \) -delete
    update-ca-certificates >/dev/null 2>&1
    ;;
*)
    echo "usage: wine_test_ca.sh add|remove CA_PEM" >&2
    exit 2
    ;;
esac
