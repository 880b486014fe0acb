#!/usr/bin/env bash
# Builds Intel's ISA-L (its inflate and CRC parts) from Debian's source package, with
# isal-zlib-codes.patch so that it refuses the Huffman codes zlib refuses, as a static library
# for the program and its tests:
#   isal.sh OUT_DIR [mingw]  ->  OUT_DIR/lib/libisal.a, OUT_DIR/include/isa-l/*.h
# for this machine, or with mingw for Windows. CMake calls it when it configures a build; the
# library is kept until this script, the patch or the target change. The source comes from
# Debian's source package (debian-source.sh). Needs nasm, make and the compiler for the target.
# ISAL_JOBS sets make's jobs (default: the number of cores).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/debian-source.sh"
out=$1
target=${2:-host}
patch_file=$here/isal-zlib-codes.patch
stamp="$target $(cat "$here/isal.sh" "$patch_file" | sha256sum | cut -d' ' -f1)"
[ -s "$out/lib/libisal.a" ] && [ -s "$out/include/isa-l/igzip_lib.h" ] &&
    [ "$(cat "$out/stamp" 2>/dev/null)" = "$stamp" ] && exit 0

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
tarball=$(debian_upstream_tarball libisal "$tmp")
tar -xf "$tarball" -C "$tmp"
src=$(find "$tmp" -maxdepth 2 -name Makefile.unx -printf '%h\n' | head -1)
patch -d "$src" -p1 --quiet --forward <"$patch_file" ||
    { echo "isal.sh: $(basename "$patch_file") does not apply to $(basename "$tarball")" >&2; exit 1; }

# Its own makefile knows MinGW; nasm instead of the yasm it names for it, and only the parts the
# read-back uses: inflate with its CRC-32, and the CRC-64 that tells bytes read twice apart.
arch=()
[ "$target" = mingw ] && arch=(arch=mingw)
make -C "$src" -f Makefile.unx "${arch[@]}" AS=nasm units="igzip crc" lib -j "${ISAL_JOBS:-$(nproc)}" \
    >"$tmp/build.log" 2>&1 || { tail -20 "$tmp/build.log" >&2; exit 1; }
rm -rf "$out/lib" "$out/include" "$out/stamp"
mkdir -p "$out/lib" "$out/include/isa-l"
cp "$src"/include/*.h "$out/include/isa-l/"
cp "$src/bin/isa-l.a" "$out/lib/libisal.a"
echo "$stamp" >"$out/stamp"
