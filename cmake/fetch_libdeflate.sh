#!/usr/bin/env bash
# Builds libdeflate for the win32 tree from Debian's own source package of it, the one the
# host's libdeflate-dev is made from, and leaves include/libdeflate.h and lib/libdeflate.a in
# ROOT. Done once: a finished ROOT is kept, and the fetched source is kept beside it.
#
#   cmake/fetch_libdeflate.sh [ROOT] [CC]
#
# The source comes through cmake/debian_source.sh, which leaves the machine's apt configuration
# alone. Needs apt-get, dpkg-source (dpkg-dev), make and the mingw compiler.
set -euo pipefail

root=$(realpath -m "${1:-$(dirname "$0")/../build/deps/libdeflate-mingw}")
cc=${2:-i686-w64-mingw32-gcc-posix}
ar=${cc%-gcc*}-ar

# The build's settings, kept in ROOT: a ROOT built otherwise is built again.
settings="near-optimal parsing off"
if [ -f "$root/include/libdeflate.h" ] && [ -f "$root/lib/libdeflate.a" ] &&
  [ "$(cat "$root/settings" 2>/dev/null)" = "$settings" ]; then
  exit 0
fi

src="$(dirname "$root")/libdeflate-source"
if ! ls "$src"/libdeflate-*/libdeflate.h >/dev/null 2>&1; then
  . "$(dirname "$0")/debian_source.sh"
  fetch_debian_source libdeflate "$src" fetch_libdeflate
fi
tree=$(ls -d "$src"/libdeflate-*/ | sort -V | tail -n 1)

echo "fetch_libdeflate: building $(basename "$tree") with $cc" >&2
# Levels 10 to 12 alone parse near-optimally, and nothing here compresses above 9: without it the
# engine's compressor is 8 KB smaller and every stream it writes the same.
sed -i 's/^#define SUPPORT_NEAR_OPTIMAL_PARSING[[:space:]]*1$/#define SUPPORT_NEAR_OPTIMAL_PARSING 0/' "$tree/lib/deflate_compress.c"
grep -q '^#define SUPPORT_NEAR_OPTIMAL_PARSING 0$' "$tree/lib/deflate_compress.c"
make -C "$tree" -s clean >/dev/null
# For a mingw compiler upstream's Makefile names the static library libdeflatestatic.lib.
make -C "$tree" -s -j "$(nproc)" CC="$cc" AR="$ar" libdeflatestatic.lib >/dev/null

rm -rf "$root.partial"
mkdir -p "$root.partial/include" "$root.partial/lib"
cp "$tree/libdeflate.h" "$root.partial/include/"
cp "$tree/libdeflatestatic.lib" "$root.partial/lib/libdeflate.a"
cp "$tree/COPYING" "$root.partial/"
echo "$settings" >"$root.partial/settings"
rm -rf "$root"
mv "$root.partial" "$root"
