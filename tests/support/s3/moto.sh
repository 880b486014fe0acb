#!/usr/bin/env bash
# A throwaway S3-compatible server for the tests: moto_server (Python moto, not packaged by Debian)
# on a free loopback port, checking every request's signature.
#   moto.sh start DIR  - start it, make the IAM user whose key the tests sign with, the buckets
#                        "yedek" (plain), "surumlu" (versioned) and "kilitli" (Object Lock), then
#                        turn authentication on; writes DIR/port, DIR/key, DIR/secret
#   moto.sh stop DIR   - stop it and remove DIR
# With MOTO_CERT and MOTO_KEY (PEM files) it speaks HTTPS with that certificate instead of plain
# HTTP; MOTO_CA, the CA that signed it (default: the certificate itself, a self-signed one), is what
# its own set-up requests trust.
set -euo pipefail
cmd=$1
dir=$2

start() {
    local moto
    moto=$(command -v moto_server || true)
    [ -n "$moto" ] || [ ! -x /root/.pyenv/shims/moto_server ] || moto=/root/.pyenv/shims/moto_server
    if [ -z "$moto" ]; then
        echo "moto_server not found: the S3 tests need Python's moto (pip install 'moto[server]')" >&2
        exit 1
    fi
    # moto_server's own Python runs moto_server.py beside this script: moto with one fix.
    local python
    python=$(sed -n '1s/^#!//p' "$(pyenv which moto_server 2>/dev/null || echo "$moto")")
    case "$python" in */python*) ;; *) echo "moto_server's Python not found in $moto" >&2; exit 1 ;; esac
    rm -rf "$dir"
    mkdir -p "$dir"
    local port
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    # Authentication stays off until the user exists: moto checks a signature only once
    # INITIAL_NO_AUTH_ACTION_COUNT requests have passed, and reset-auth below sets that to none.
    local tls=() url=http://127.0.0.1:$port curl=(curl)
    if [ -n "${MOTO_CERT:-}" ]; then
        tls=(--ssl-cert "$MOTO_CERT" --ssl-key "${MOTO_KEY:?MOTO_KEY: the key of MOTO_CERT}")
        url=https://127.0.0.1:$port
        curl=(curl --cacert "${MOTO_CA:-$MOTO_CERT}")
    fi
    setsid $python "$(dirname "$0")/moto_server.py" -H 127.0.0.1 -p "$port" "${tls[@]}" >"$dir/server.log" 2>&1 &
    echo $! >"$dir/pid"
    for _ in $(seq 100); do
        "${curl[@]}" -s -o /dev/null "$url/moto-api/" && break
        sleep 0.1
    done
    "${curl[@]}" -s -o /dev/null "$url/moto-api/" || { cat "$dir/server.log" >&2; exit 1; }

    # Before authentication, moto picks the service from the credential scope alone.
    local iam=("${curl[@]}" -sf "$url/" -H "Authorization: AWS4-HMAC-SHA256 Credential=x/20250101/us-east-1/iam/aws4_request, SignedHeaders=host, Signature=x")
    local s3=("${curl[@]}" -sf -X PUT -H "Authorization: AWS4-HMAC-SHA256 Credential=x/20250101/us-east-1/s3/aws4_request, SignedHeaders=host, Signature=x")
    "${iam[@]}" -d Action=CreateUser -d UserName=yedekci -d Version=2010-05-08 >/dev/null
    "${iam[@]}" -d Action=PutUserPolicy -d UserName=yedekci -d PolicyName=s3 -d Version=2010-05-08 \
        --data-urlencode 'PolicyDocument={"Version":"2012-10-17","Statement":[{"Effect":"Allow","Action":"s3:*","Resource":"*"}]}' >/dev/null
    local keys
    keys=$("${iam[@]}" -d Action=CreateAccessKey -d UserName=yedekci -d Version=2010-05-08)
    sed -n 's:.*<AccessKeyId>\(.*\)</AccessKeyId>.*:\1:p' <<<"$keys" | head -1 >"$dir/key"
    sed -n 's:.*<SecretAccessKey>\(.*\)</SecretAccessKey>.*:\1:p' <<<"$keys" | head -1 >"$dir/secret"
    [ -s "$dir/key" ] && [ -s "$dir/secret" ] || { echo "no access key: $keys" >&2; exit 1; }
    "${s3[@]}" "$url/yedek" >/dev/null
    "${s3[@]}" "$url/surumlu" >/dev/null
    "${s3[@]}" "$url/surumlu?versioning" -H "Content-Type: application/xml" \
        --data-binary '<VersioningConfiguration><Status>Enabled</Status></VersioningConfiguration>' >/dev/null
    "${s3[@]}" -H "x-amz-bucket-object-lock-enabled: true" "$url/kilitli" >/dev/null
    "${curl[@]}" -sf -X POST -H "Content-Type: text/plain" --data-binary 0 "$url/moto-api/reset-auth" >/dev/null
    echo "$port" >"$dir/port"
}

stop() {
    if [ -f "$dir/pid" ]; then
        kill -- "-$(cat "$dir/pid")" 2>/dev/null || kill "$(cat "$dir/pid")" 2>/dev/null || true
    fi
    rm -rf "$dir"
}

"$cmd"
