# Sourced by the fetch_*.sh scripts: fetches and unpacks a Debian source package without
# touching the machine's apt configuration. The source lines are written to a private list
# under DEPS, made from the machine's own binary lines (same mirrors, same keys), with indexes
# and cache of their own. Needs apt-get and dpkg-source (dpkg-dev).

# fetch_debian_source PACKAGE DEST LABEL: unpacks the newest version of PACKAGE's source that
# the mirror serves into DEST (a mirror may lack the files of a version its index names, a
# security update, and then the one before it is taken). DEST's parent holds the private apt
# state, shared by every fetch.
fetch_debian_source() {
  local package=$1 dest=$2 label=$3
  local apt
  apt="$(dirname "$dest")/apt"
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts" "$dest"

  # Every Debian binary line of the machine, as a source line; the keys stay the machine's.
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")
  apt-get -o Dir::State::Lists="$apt/lists" indextargets --no-release-info \
      --format '$(TARGET_OF) $(REPO_URI) $(RELEASE) $(COMPONENT)' 'Identifier: Packages' |
    awk -v codename="$codename" '$1 == "deb" && $4 == "main" && index($3, codename) == 1 {
           print "deb-src " $2 " " $3 " main" }' | sort -u >"$apt/sources.list"
  if [ ! -s "$apt/sources.list" ]; then
    echo "$label: no Debian $codename main lines in the apt configuration" >&2
    return 1
  fi
  local apt_private=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/parts"
                     -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache"
                     -o APT::Sandbox::User="$(id -un)")

  echo "$label: fetching Debian's $package source for $codename" >&2
  # The lists may be there already from another library's fetch.
  ls "$apt/lists/"*Sources* >/dev/null 2>&1 || apt-get -qq "${apt_private[@]}" update
  # apt checks the files against the signed index; dpkg-source unpacks and applies Debian's
  # patches. Newest first.
  local version
  for version in $(apt-cache "${apt_private[@]}" showsrc "$package" | awk '$1 == "Version:" { print $2 }' | sort -rV); do
    if (cd "$dest" && apt-get -qq "${apt_private[@]}" source "$package=$version" >/dev/null 2>&1); then
      return 0
    fi
  done
  echo "$label: no version of Debian's $package source could be fetched" >&2
  return 1
}
