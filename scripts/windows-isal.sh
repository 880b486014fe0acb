#!/usr/bin/env bash
# Builds Intel's ISA-L (its inflate and CRC parts) for Windows from Debian's source package, as a
# static library for the Windows program and its tests:
#   windows-isal.sh OUT_DIR  ->  OUT_DIR/lib/libisal.a, OUT_DIR/include/isa-l/*.h (kept: a second
#                                call does nothing)
# The source comes through a private APT source list in a temporary folder, so nothing on the
# machine is changed. Only the upstream tarball is needed. Needs nasm and the MinGW-w64 compiler.
set -euo pipefail
out=$1
[ -s "$out/lib/libisal.a" ] && [ -s "$out/include/isa-l/igzip_lib.h" ] && exit 0

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
(cd "$tmp/src" && "${apt[@]}" source --download-only libisal >/dev/null 2>&1) || true
tarball=$(ls "$tmp"/src/libisal_*.orig.tar.* 2>/dev/null | head -1)
[ -n "$tarball" ] || { echo "windows-isal: the libisal source package could not be fetched" >&2; exit 1; }
tar -xf "$tarball" -C "$tmp"
src=$(find "$tmp" -maxdepth 2 -name Makefile.unx -printf '%h\n' | head -1)

# Its own makefile knows MinGW; nasm instead of the yasm it names, and only the parts the
# read-back uses (the CRC comes with inflate).
make -C "$src" -f Makefile.unx arch=mingw AS=nasm units=igzip lib -j "$(nproc)" >"$tmp/build.log" 2>&1 ||
    { tail -20 "$tmp/build.log" >&2; exit 1; }
mkdir -p "$out/lib" "$out/include/isa-l"
cp "$src"/include/*.h "$out/include/isa-l/"
cp "$src/bin/isa-l.a" "$out/lib/libisal.a.part"
mv "$out/lib/libisal.a.part" "$out/lib/libisal.a"
