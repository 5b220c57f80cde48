#!/usr/bin/env bash
# Builds zstd for the win32 tree from Debian's own source package of it (libzstd), the one the
# host's libzstd-dev is made from, and leaves include/zstd.h and lib/libzstd.a in ROOT: the
# single-threaded library without the legacy formats or the dictionary builder. The engine
# references only its decoder, so only the decoder's objects reach the engine. Done once: a
# finished ROOT is kept, and the fetched source is kept beside it.
#
#   cmake/fetch_zstd.sh [ROOT] [CC]
#
# The source comes through cmake/debian_source.sh, which leaves the machine's apt configuration
# alone. Needs apt-get, dpkg-source (dpkg-dev), make and the mingw compiler.
set -euo pipefail

root=$(realpath -m "${1:-$(dirname "$0")/../build/deps/zstd-mingw}")
cc=${2:-i686-w64-mingw32-gcc-posix}
ar=${cc%-gcc*}-ar

if [ -f "$root/include/zstd.h" ] && [ -f "$root/lib/libzstd.a" ]; then
  exit 0
fi

src="$(dirname "$root")/zstd-source"
if ! ls "$src"/libzstd-*/lib/zstd.h >/dev/null 2>&1; then
  . "$(dirname "$0")/debian_source.sh"
  fetch_debian_source libzstd "$src" fetch_zstd
fi
tree=$(ls -d "$src"/libzstd-*/ | sort -V | tail -n 1)

echo "fetch_zstd: building $(basename "$tree") with $cc" >&2
make -C "$tree/lib" -s clean >/dev/null
# The decoder travels in every setup: one Huffman decoder and one sequence decoder instead of
# two each (23 KB less in the engine; decoding is a small part of an install's time).
make -C "$tree/lib" -s -j "$(nproc)" CC="$cc" AR="$ar" ZSTD_LEGACY_SUPPORT=0 ZSTD_LIB_DICTBUILDER=0 \
     ZSTD_LIB_DEPRECATED=0 libzstd.a \
     MOREFLAGS="-ffunction-sections -fdata-sections -DHUF_FORCE_DECOMPRESS_X1 -DZSTD_FORCE_DECOMPRESS_SEQUENCES_SHORT" \
     >/dev/null

rm -rf "$root.partial"
mkdir -p "$root.partial/include" "$root.partial/lib"
cp "$tree/lib/zstd.h" "$tree/lib/zstd_errors.h" "$root.partial/include/"
cp "$tree/lib/libzstd.a" "$root.partial/lib/libzstd.a"
cp "$tree/LICENSE" "$root.partial/"
rm -rf "$root"
mv "$root.partial" "$root"
