# Wine prefixes for the tests, sourced by make.sh and the end-to-end tests.
#
# A fresh prefix holds 600 MB (1.3 GB for win64) of system DLLs that no test changes, and each
# test wants a prefix of its own; six of them filled a CI machine's disk. So one pristine prefix
# per architecture is made once (build/win32/wine-templates/ARCH) and each test's prefix is a
# clone: the DLLs and programs are hard links to the template's, everything else (registry,
# ini files, the update stamp) is a real copy, since Wine rewrites those in place or by
# rename. Wine and our setups never write into an existing DLL: a replaced file is renamed
# aside and a new one written, which leaves the template's inode as it was.

# The loaders, never the `wine` wrapper: it takes the 32-bit loader whenever wine32 is installed,
# even on a machine that runs no 32-bit programs. The 64-bit server (the wrapper's first choice)
# serves both.
WINE32_LOADER=${WINE32_LOADER:-/usr/lib/wine/wine}
WINE64_LOADER=${WINE64_LOADER:-/usr/lib/wine/wine64}

# wine_loader ARCH (win32|win64): the loader that starts that prefix's programs.
wine_loader() {
  if [ "$1" = win64 ]; then echo "$WINE64_LOADER"; else echo "$WINE32_LOADER"; fi
}

# machine_runs_32bit: the 32-bit loader starts here (a kernel may have 32-bit programs turned off).
machine_runs_32bit() {
  "$WINE32_LOADER" --version >/dev/null 2>&1
}

# use_wine ARCH: `wine` (a function, for this shell and the bash -c checks it starts) runs
# programs with ARCH's loader, and WINEARCH says ARCH for a prefix made from here on.
use_wine() {
  export WINEARCH=$1 ZQ_WINE_LOADER
  ZQ_WINE_LOADER=$(wine_loader "$1")
  wine() { "$ZQ_WINE_LOADER" "$@"; }
  export -f wine
}

# The engine a test's build tree makes: win64 for build/win64, win32 otherwise (ctest says which).
ZQ_WINE_ARCH=${ZQ_WINE_ARCH:-win32}

# make_wine_prefix DEST ARCH TEMPLATES: DEST (which must not exist) becomes a prefix of ARCH
# (win32|win64) cloned from TEMPLATES/ARCH, which is made first if it is not there. Tests that
# start at once wait for each other on a lock while the template is made.
make_wine_prefix() {
  local dest=$1 arch=$2 templates=$3
  local template="$templates/$arch"
  if [ -e "$dest" ] || [ -L "$dest" ]; then
    echo "make_wine_prefix: $dest is already there" >&2
    return 1
  fi
  mkdir -p "$templates"
  (
    flock 9
    if [ ! -f "$template/.zq-complete" ]; then
      case "$template" in "$templates"/win32 | "$templates"/win64) rm -rf -- "$template" ;; *) exit 2 ;; esac
      WINEPREFIX="$template" WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        "$(wine_loader "$arch")" wineboot -i >/dev/null 2>&1 || true
      # The server writes the registry when it ends: wait for that before anything is linked.
      WINEPREFIX="$template" wineserver -w >/dev/null 2>&1 || true
      [ -f "$template/system.reg" ] && [ -f "$template/user.reg" ] && touch "$template/.zq-complete"
    fi
  ) 9>"$templates/$arch.lock"
  if [ ! -f "$template/.zq-complete" ]; then
    echo "make_wine_prefix: wineboot made no $arch prefix in $template" >&2
    return 1
  fi
  # -a keeps the drive links (c: -> ../drive_c, z: -> /) as links; -l links every file.
  cp -al -- "$template" "$dest" || return 1
  rm -f -- "$dest/.zq-complete" || return 1
  local f
  while IFS= read -r -d '' f; do
    # A copy that failed (a full disk) would leave the template's own file shared: no prefix.
    cp -p -- "$f" "$f.zq-copy" && mv -f -- "$f.zq-copy" "$f" || {
      echo "make_wine_prefix: cannot copy $f" >&2
      return 1
    }
  done < <(find "$dest" -type f ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' -o -iname '*.sys' \
    -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.acm' -o -iname '*.ax' -o -iname '*.nls' -o -iname '*.tlb' \
    -o -iname '*.ttf' -o -iname '*.ds' -o -iname '*.mui' -o -iname '*.msstyles' -o -iname '*.com' \) -print0)
}
