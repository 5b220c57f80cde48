#!/usr/bin/env bash
# Builds liblzma for the win32 tree from Debian's own source package of it (xz-utils), the one
# the host's liblzma-dev is made from, and leaves include/lzma.h (with include/lzma/) and
# lib/liblzma.a in ROOT: the single-threaded library with only the LZMA codecs, all a solid
# block uses. The engine references only the decoders, so
# only their objects reach the engine. Done once: a finished ROOT is kept, and the fetched
# source is kept beside it.
#
#   cmake/fetch_xz.sh [ROOT] [CC]
#
# The source comes through cmake/debian_source.sh, which leaves the machine's apt configuration
# alone. Needs apt-get, dpkg-source (dpkg-dev), make and the mingw compiler.
set -euo pipefail

root=$(realpath -m "${1:-$(dirname "$0")/../build/deps/xz-mingw}")
cc=${2:-i686-w64-mingw32-gcc-posix}
host=$(basename "${cc%-gcc*}")

if [ -f "$root/include/lzma.h" ] && [ -f "$root/lib/liblzma.a" ]; then
  exit 0
fi

src="$(dirname "$root")/xz-source"
if ! ls "$src"/xz-utils-*/src/liblzma/api/lzma.h >/dev/null 2>&1; then
  . "$(dirname "$0")/debian_source.sh"
  fetch_debian_source xz-utils "$src" fetch_xz
fi
tree=$(ls -d "$src"/xz-utils-*/ | sort -V | tail -n 1)

echo "fetch_xz: building $(basename "$tree") with $cc" >&2
build="$(dirname "$root")/xz-build"
rm -rf "$build"
mkdir -p "$build"
# -O2, not the engine's -Os: decoding is on the install's path. No x86 branch filter: on the
# bench's Windows DLLs it made the blocks 1.2 % larger (docs/performance.md).
(cd "$build" && "$tree/configure" --host="$host" CC="$cc" \
   CFLAGS="-O2 -ffunction-sections -fdata-sections" \
   --disable-shared --enable-static --disable-threads --disable-nls --disable-doc \
   --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo --disable-lzma-links \
   --disable-scripts --enable-encoders=lzma1,lzma2 --enable-decoders=lzma1,lzma2 \
   --enable-match-finders=bt4 --enable-checks=crc32 >/dev/null)
make -C "$build/src/liblzma" -s -j "$(nproc)" >/dev/null

rm -rf "$root.partial"
mkdir -p "$root.partial/include" "$root.partial/lib"
cp -r "$tree/src/liblzma/api/lzma.h" "$tree/src/liblzma/api/lzma" "$root.partial/include/"
cp "$build/src/liblzma/.libs/liblzma.a" "$root.partial/lib/liblzma.a"
cp "$tree/COPYING" "$root.partial/"
rm -rf "$root" "$build"
mv "$root.partial" "$root"
