#!/usr/bin/env bash
# Builds Info-ZIP Zip 3.0 for Windows from Debian's source package, for the Windows tests and the
# service's installer, with Info-ZIP's licence, which must go wherever the exe goes:
#   windows-zip.sh OUT_DIR    ->  OUT_DIR/zip.exe, OUT_DIR/zip-LICENSE.txt (kept: a second call does nothing)
# The source comes from Debian's source package (debian-source.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/debian-source.sh"
out=$1
[ -s "$out/zip.exe" ] && [ -s "$out/zip-LICENSE.txt" ] && exit 0

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
tarball=$(debian_upstream_tarball zip "$tmp")
tar -xzf "$tarball" -C "$tmp"

# No assembler parts (they are 32-bit); windows.h first, since zip's own "#define CR 13" breaks a
# field of MinGW's winnt.h; static, so the exe needs only Windows' own DLLs.
make -C "$tmp/zip30" -f win32/makefile.gcc zip.exe -j "$(nproc)" \
    CC=x86_64-w64-mingw32-gcc RC=x86_64-w64-mingw32-windres CRCA_O= OBJA= \
    "LOC=-DNO_ASM -include windows.h" 'LDFLAGS=-o$@ -s -static' >"$tmp/build.log" 2>&1 ||
    { tail -20 "$tmp/build.log" >&2; exit 1; }
mkdir -p "$out"
cp "$tmp/zip30/LICENSE" "$out/zip-LICENSE.txt"
cp "$tmp/zip30/zip.exe" "$out/zip.exe.part"
mv "$out/zip.exe.part" "$out/zip.exe"
