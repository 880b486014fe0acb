#!/usr/bin/env bash
# Builds libcurl for the Windows program from Debian's source package, as a static library that
# speaks only SMTP, SMTPS, HTTP and HTTPS over Windows' own TLS (Schannel), so that the exe still needs only
# Windows' own DLLs:
#   curl.sh OUT_DIR  ->  OUT_DIR/lib/libcurl.a, OUT_DIR/include/curl/*.h
# CMake calls it when it configures a Windows build; the library is kept until this script
# changes. The source comes from Debian's source package (debian-source.sh); its release tarball
# carries a generated configure, so autotools are not needed, only make and MinGW-w64.
# CURL_JOBS sets make's jobs (default: the number of cores).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/debian-source.sh"
out=$1
host=x86_64-w64-mingw32
stamp="mingw $(sha256sum <"$here/curl.sh" | cut -d' ' -f1)"
[ -s "$out/lib/libcurl.a" ] && [ -s "$out/include/curl/curl.h" ] &&
    [ "$(cat "$out/stamp" 2>/dev/null)" = "$stamp" ] && exit 0

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
tarball=$(debian_upstream_tarball curl "$tmp")
tar -xf "$tarball" -C "$tmp"
src=$(find "$tmp" -maxdepth 2 -name configure -path '*curl-*' -printf '%h\n' | head -1)

# Windows 7 SP1 is the oldest the program runs on: told so, curl leaves out what 7 lacks (newer
# functions it looks up at run time). Each function in a section of its own, so that the
# program's --gc-sections drops what it does not call.
flags="-Os -ffunction-sections -fdata-sections"
options=(
    --host=$host --disable-shared --enable-static --disable-dependency-tracking
    # Schannel alone: the system's certificate store and no TLS library to ship.
    --with-schannel --without-ca-bundle --without-ca-path --without-ca-fallback
    # Mail, the monitoring's pings and the second place's S3 store only.
    --enable-smtp --enable-http --disable-ftp --disable-file --disable-ldap --disable-ldaps
    --disable-rtsp --disable-dict --disable-telnet --disable-tftp --disable-pop3 --disable-imap
    --disable-smb --disable-gopher --disable-mqtt --disable-websockets
    # Nothing the mail does not use. The MIME API stays: it builds a message with attachments.
    # HTTP authentication stays: S3's requests are signed with its SigV4.
    # Verbose strings stay too: without them the error buffer says little of what went wrong.
    --disable-proxy --disable-cookies --disable-alt-svc --disable-hsts --disable-doh
    --disable-netrc --disable-dateparse --disable-headers-api
    --disable-get-easy-options --disable-progress-meter --disable-unix-sockets
    --disable-manual --disable-libcurl-option --disable-tls-srp --disable-ntlm-wb
    # Win32 threads for the resolver, not winpthreads.
    --enable-threaded-resolver --disable-pthreads
    --without-zlib --without-brotli --without-zstd --without-libpsl --without-libgsasl
    --without-libidn2 --without-winidn --without-nghttp2 --without-ngtcp2 --without-nghttp3
    --without-quiche --without-msh3 --without-hyper --without-librtmp --without-libssh2
    --without-libssh --without-wolfssh
)
(cd "$src" && ./configure "${options[@]}" CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib \
    CPPFLAGS="-D_WIN32_WINNT=0x0601 -DWINVER=0x0601" CFLAGS="$flags") >"$tmp/build.log" 2>&1 ||
    { tail -20 "$tmp/build.log" >&2; exit 1; }
make -C "$src/lib" -j "${CURL_JOBS:-$(nproc)}" libcurl.la >>"$tmp/build.log" 2>&1 ||
    { tail -20 "$tmp/build.log" >&2; exit 1; }
rm -rf "$out/lib" "$out/include" "$out/stamp"
mkdir -p "$out/lib" "$out/include/curl"
cp "$src"/include/curl/*.h "$out/include/curl/"
cp "$src/lib/.libs/libcurl.a" "$out/lib/libcurl.a"
echo "$stamp" >"$out/stamp"
