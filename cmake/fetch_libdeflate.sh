#!/usr/bin/env bash
# Builds libdeflate for the win32 tree from Debian's own source package of it, the one the
# host's libdeflate-dev is made from, and leaves include/libdeflate.h and lib/libdeflate.a in
# ROOT. Done once: a finished ROOT is kept, and the fetched source is kept beside it.
#
#   cmake/fetch_libdeflate.sh [ROOT] [CC]
#
# The machine's apt configuration is left alone: the source lines are written to a private
# list under ROOT's parent, made from the machine's own binary lines (same mirrors, same
# keys), with indexes and cache of their own. Needs apt-get, dpkg-source (dpkg-dev), make and
# the mingw compiler.
set -euo pipefail

root=$(realpath -m "${1:-$(dirname "$0")/../build/deps/libdeflate-mingw}")
cc=${2:-i686-w64-mingw32-gcc-posix}
ar=${cc%-gcc*}-ar

if [ -f "$root/include/libdeflate.h" ] && [ -f "$root/lib/libdeflate.a" ]; then
  exit 0
fi

deps=$(dirname "$root")
apt="$deps/apt"
src="$deps/libdeflate-source"
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts" "$src"

# Every Debian binary line of the machine, as a source line; the keys stay the machine's.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")
apt-get -o Dir::State::Lists="$apt/lists" indextargets --no-release-info \
    --format '$(TARGET_OF) $(REPO_URI) $(RELEASE) $(COMPONENT)' 'Identifier: Packages' |
  awk -v codename="$codename" '$1 == "deb" && $4 == "main" && index($3, codename) == 1 {
         print "deb-src " $2 " " $3 " main" }' | sort -u >"$apt/sources.list"
if [ ! -s "$apt/sources.list" ]; then
  echo "fetch_libdeflate: no Debian $codename main lines in the apt configuration" >&2
  exit 1
fi

apt_private=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/parts"
             -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o APT::Sandbox::User="$(id -un)")

if ! ls "$src"/libdeflate-*/libdeflate.h >/dev/null 2>&1; then
  echo "fetch_libdeflate: fetching Debian's libdeflate source for $codename" >&2
  apt-get -qq "${apt_private[@]}" update
  # apt checks the files against the signed index; dpkg-source unpacks and applies Debian's patches.
  (cd "$src" && apt-get -qq "${apt_private[@]}" source libdeflate >/dev/null)
fi
tree=$(ls -d "$src"/libdeflate-*/ | sort -V | tail -n 1)

echo "fetch_libdeflate: building $(basename "$tree") with $cc" >&2
make -C "$tree" -s clean >/dev/null
# For a mingw compiler upstream's Makefile names the static library libdeflatestatic.lib.
make -C "$tree" -s -j "$(nproc)" CC="$cc" AR="$ar" libdeflatestatic.lib >/dev/null

rm -rf "$root.partial"
mkdir -p "$root.partial/include" "$root.partial/lib"
cp "$tree/libdeflate.h" "$root.partial/include/"
cp "$tree/libdeflatestatic.lib" "$root.partial/lib/libdeflate.a"
cp "$tree/COPYING" "$root.partial/"
rm -rf "$root"
mv "$root.partial" "$root"
