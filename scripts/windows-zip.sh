#!/usr/bin/env bash
# Builds Info-ZIP Zip 3.0 for Windows from Debian's source package, for the Windows tests:
#   windows-zip.sh OUT_DIR    ->  OUT_DIR/zip.exe (kept: a second call does nothing)
# The source comes through a private APT source list in a temporary folder, so nothing on the
# machine is changed. Only the upstream tarball is needed.
set -euo pipefail
out=$1
[ -s "$out/zip.exe" ] && exit 0

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sources=/etc/apt/sources.list.d/debian.sources
if [ -f "$sources" ]; then
    uri=$(awk '/^URIs:/ {print $2; exit}' "$sources")
    suite=$(awk '/^Suites:/ {print $2; exit}' "$sources")
else
    read -r uri suite < <(awk '$1 == "deb" && $2 !~ /^\[/ {print $2, $3; exit}' /etc/apt/sources.list)
fi
mkdir -p "$tmp/lists/partial" "$tmp/cache/archives/partial" "$tmp/src"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $suite main" >"$tmp/sources.list"
apt=(apt-get -q -o Dir::Etc::SourceList="$tmp/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$tmp/lists" -o Dir::Cache="$tmp/cache" -o APT::Sandbox::User=root)
"${apt[@]}" update >/dev/null
# The Debian patch tarball may be gone from the mirror; the upstream tarball is what is built.
(cd "$tmp/src" && "${apt[@]}" source --download-only zip >/dev/null 2>&1) || true
tarball=$(ls "$tmp"/src/zip_3.0*.orig.tar.gz 2>/dev/null | head -1)
[ -n "$tarball" ] || { echo "windows-zip: the zip source package could not be fetched" >&2; exit 1; }
tar -xzf "$tarball" -C "$tmp"

# No assembler parts (they are 32-bit); windows.h first, since zip's own "#define CR 13" breaks a
# field of MinGW's winnt.h; static, so the exe needs only Windows' own DLLs.
make -C "$tmp/zip30" -f win32/makefile.gcc zip.exe -j "$(nproc)" \
    CC=x86_64-w64-mingw32-gcc RC=x86_64-w64-mingw32-windres CRCA_O= OBJA= \
    "LOC=-DNO_ASM -include windows.h" 'LDFLAGS=-o$@ -s -static' >"$tmp/build.log" 2>&1 ||
    { tail -20 "$tmp/build.log" >&2; exit 1; }
mkdir -p "$out"
cp "$tmp/zip30/zip.exe" "$out/zip.exe.part"
mv "$out/zip.exe.part" "$out/zip.exe"
