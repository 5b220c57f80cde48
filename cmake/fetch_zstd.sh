#!/usr/bin/env bash
# Builds zstd for the win32 tree from Debian's own source package of it (libzstd), the one the
# host's libzstd-dev is made from, and leaves include/zstd.h and lib/libzstd.a in ROOT: the
# single-threaded library without the legacy formats or the dictionary builder. The engine
# references only its decoder, so only the decoder's objects reach the engine. Done once: a
# finished ROOT is kept, and the fetched source is kept beside it.
#
#   cmake/fetch_zstd.sh [ROOT] [CC]
#
# The machine's apt configuration is left alone: the source lines are written to a private
# list under ROOT's parent, made from the machine's own binary lines (same mirrors, same
# keys), with indexes and cache of their own. Needs apt-get, dpkg-source (dpkg-dev), make and
# the mingw compiler.
set -euo pipefail

root=$(realpath -m "${1:-$(dirname "$0")/../build/deps/zstd-mingw}")
cc=${2:-i686-w64-mingw32-gcc-posix}
ar=${cc%-gcc*}-ar

if [ -f "$root/include/zstd.h" ] && [ -f "$root/lib/libzstd.a" ]; then
  exit 0
fi

deps=$(dirname "$root")
apt="$deps/apt"
src="$deps/zstd-source"
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts" "$src"

# Every Debian binary line of the machine, as a source line; the keys stay the machine's.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")
apt-get -o Dir::State::Lists="$apt/lists" indextargets --no-release-info \
    --format '$(TARGET_OF) $(REPO_URI) $(RELEASE) $(COMPONENT)' 'Identifier: Packages' |
  awk -v codename="$codename" '$1 == "deb" && $4 == "main" && index($3, codename) == 1 {
         print "deb-src " $2 " " $3 " main" }' | sort -u >"$apt/sources.list"
if [ ! -s "$apt/sources.list" ]; then
  echo "fetch_zstd: no Debian $codename main lines in the apt configuration" >&2
  exit 1
fi

apt_private=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/parts"
             -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o APT::Sandbox::User="$(id -un)")

if ! ls "$src"/libzstd-*/lib/zstd.h >/dev/null 2>&1; then
  echo "fetch_zstd: fetching Debian's zstd source for $codename" >&2
  # The lists may be there already from another library's fetch.
  ls "$apt/lists/"*Sources* >/dev/null 2>&1 || apt-get -qq "${apt_private[@]}" update
  # apt checks the files against the signed index; dpkg-source unpacks and applies Debian's patches.
  # Newest first; a mirror may lack the files of a version its index names (a security update),
  # and then the one before it is taken.
  fetched=""
  for version in $(apt-cache "${apt_private[@]}" showsrc libzstd | awk '$1 == "Version:" { print $2 }' | sort -rV); do
    if (cd "$src" && apt-get -qq "${apt_private[@]}" source "libzstd=$version" >/dev/null 2>&1); then
      fetched=$version
      break
    fi
  done
  if [ -z "$fetched" ]; then
    echo "fetch_zstd: no version of Debian's zstd source could be fetched" >&2
    exit 1
  fi
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
