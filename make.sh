#!/usr/bin/env bash
# One entry for everything: ./make.sh demo | test | build | host | win32 | win64 | fuzz | bench | format | clean
# On a fresh Debian 12 machine it first installs what the project needs (quietly, only what
# is missing), then configures and builds.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=${JOBS:-$(nproc)}

HOST_PACKAGES=(cmake g++ make pkg-config libgtest-dev googletest libbenchmark-dev libsqlite3-dev libssl-dev zlib1g-dev
               libdeflate-dev liblzma-dev sqlite3 python3 clang-format-14)
# dpkg-dev unpacks Debian's libdeflate and xz-utils sources, which cmake/fetch_libdeflate.sh and
# cmake/fetch_xz.sh build for mingw.
# locales holds the locale sources the Unicode test compiles into the build tree.
# wine32 installs on a machine that runs no 32-bit programs too; it is used only where it starts.
WIN_PACKAGES=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
              g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev dpkg-dev
              wine wine32 wine64 xvfb xauth xdotool imagemagick osslsigncode openssl locales)

say() { printf '\033[1m== %s\033[0m\n' "$*"; }

missing_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

ensure_deps() {  # [PACKAGE...], by default all the project needs
  [ $# -eq 0 ] && set -- "${HOST_PACKAGES[@]}" "${WIN_PACKAGES[@]}"
  local missing
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  say "installing: $(echo $missing | tr '\n' ' ')"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

configure() {  # preset
  # The Windows trees link libdeflate and liblzma built from Debian's sources (once; kept in build/deps).
  if [ "$1" = win32 ]; then
    cmake/fetch_libdeflate.sh "$ROOT/build/deps/libdeflate-mingw"
    cmake/fetch_xz.sh "$ROOT/build/deps/xz-mingw"
  elif [ "$1" = win64 ]; then
    cmake/fetch_libdeflate.sh "$ROOT/build/deps/libdeflate-mingw64" x86_64-w64-mingw32-gcc-posix
    cmake/fetch_xz.sh "$ROOT/build/deps/xz-mingw64" x86_64-w64-mingw32-gcc-posix
  fi
  if [ ! -f "build/$1/CMakeCache.txt" ]; then
    cmake --preset "$1" >/dev/null
  fi
}

build_preset() {  # preset
  configure "$1"
  say "building $1"
  cmake --build "build/$1" -j "$JOBS"
}

# A Wine prefix of our own per Windows tree, made without install dialogs; cloned, as every
# test's prefix is, from one pristine prefix whose system files they all share (tests/e2e/wine_prefix.sh).
. "$ROOT/tests/e2e/wine_prefix.sh"
wine_start() {  # win32|win64
  export WINEPREFIX="$ROOT/build/$1/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  use_wine "$1"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "making a Wine prefix in build/$1/wineprefix"
    make_wine_prefix "$WINEPREFIX" "$1" "$ROOT/build/$1/wine-templates"
  fi
  # One server for the whole run: tests that start at the same moment never race to start it.
  wineserver -p >/dev/null 2>&1 || true
  # The prefix's own services start with the first program; started here, with nothing of a
  # test's output to hold open while they live on.
  wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
}
wine_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
}

# Every Windows tree is built and checked everywhere; its tests that start Windows programs
# (label wine) run only where its loader can start them.
run_tests() {
  build_preset host
  build_preset win32
  build_preset win64
  local runs32=yes
  if machine_runs_32bit; then
    say "this machine runs 32-bit programs: the Wine tests run with both engines"
  else
    runs32=no
    say "this machine runs no 32-bit programs: win32 Wine tests skipped, win64 Wine tests run"
  fi
  say "host unit tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
  ctest --preset host -j "$JOBS"
  trap wine_stop EXIT
  if [ "$runs32" = yes ]; then
    say "win32 tests, under 32-bit Wine"
    wine_start win32
    ctest --preset win32 -j "$JOBS"
    wine_stop
  else
    say "win32 checks that start no Windows program"
    ctest --preset win32 -j "$JOBS" -LE wine
  fi
  say "win64 tests, under 64-bit Wine"
  wine_start win64
  ctest --preset win64 -j "$JOBS"
  wine_stop
  trap - EXIT
}

demo() {
  build_preset host
  local out="$ROOT/build/demo"
  local demo="$ROOT/examples/demo"
  rm -rf "$out" && mkdir -p "$out"
  say "the demo's payload"
  python3 "$demo/make_payload.py" "$demo/payload"
  say "zq build examples/demo/setup.zqs"
  "$ROOT/build/host/zq" build "$demo/setup.zqs" -o "$out/DemoSetup.exe" --stub "$ROOT/build/host/zqsetup"
  "$ROOT/build/host/zq" info "$out/DemoSetup.exe" | sed -n '1,6p'
  "$ROOT/build/host/zq" verify "$out/DemoSetup.exe"

  # A fresh stand-in for Windows, so the demo touches nothing of yours.
  export ZQ_PREFIX="$out/prefix"
  local inst="$ZQ_PREFIX/drive_c/Program Files/Demo Product"
  local db="$ZQ_PREFIX/system.db"
  local values="select printf('%-20s %-60s %-16s %s', case root when 2147483648 then 'HKEY_CLASSES_ROOT' when 2147483649 then 'HKEY_CURRENT_USER' else 'HKEY_LOCAL_MACHINE' end, cast(k.path as text), cast(v.name as text), cast(v.data as text)) from vals v join keys k using(root, lpath) where cast(v.lpath as text) like '%demo%' order by 1"
  say "installing silently (DemoSetup.exe /S), into $ZQ_PREFIX"
  (cd "$out" && ./DemoSetup.exe /S "/LOG=$out/install-log.txt")
  echo "exit code $?; the readable log is build/demo/install-log.txt"
  say "installed files"
  (cd "$inst" && find . -type f | sort | sed -n '1,8p' && echo "... $(find . -type f | wc -l) files, $(du -sh . | cut -f1)")
  say "registry values written"
  sqlite3 "$db" "$values"
  say "the uninstaller and its log"
  ls -l "$inst"/Demo_*
  "$ROOT/build/host/zq" log "$inst/Demo_install.log" | grep -v '^  \$INSTDIR\\\(data\|docs\|scripts\|sound\)' | head -n 30
  say "uninstalling silently (Demo_Uninstall.exe /S)"
  "$inst/Demo_Uninstall.exe" /S "/LOG=$out/uninstall-log.txt"
  echo "exit code $?; the readable log is build/demo/uninstall-log.txt"
  for _ in 1 2 3 4 5 6 7 8 9 10; do [ -e "$inst/Demo_Uninstall.exe" ] || break; sleep 0.3; done
  say "what is left"
  if [ -e "$inst" ]; then find "$inst"; else echo "the installation folder is gone"; fi
  local left
  left=$(sqlite3 "$db" "$values")
  if [ -n "$left" ]; then echo "$left"; else echo "no registry values of the demo are left"; fi
}

# The benchmark peers (makensis, wixl) are needed here only.
bench() {
  if [ -n "$(missing_packages nsis)" ]; then
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    say "installing: nsis"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends nsis >/dev/null
  fi
  if [ -n "$(missing_packages wixl)" ]; then
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    say "installing: wixl"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends wixl >/dev/null
  fi
  configure host-release
  configure win32
  configure win64
  say "building the release trees"
  cmake --build build/host-release -j "$JOBS" --target zq zqsetup zqfinalise inflate_write_bound
  cmake --build build/win32 -j "$JOBS" --target zqsetup zqfinalise
  cmake --build build/win64 -j "$JOBS" --target zqsetup zqfinalise
  python3 tests/bench/bench.py "$@"
}

usage() {
  cat <<'USAGE'
usage: ./make.sh COMMAND
  demo    build, then make a sample setup package and inspect it with zq
  test    build everything and run the host tests, then the win64 tests under 64-bit Wine and
          the win32 tests under 32-bit Wine where this machine runs 32-bit programs
  build   build the host (build/host), win32 (build/win32) and win64 (build/win64) trees
  host    build the host tree only
  win32   build the win32 tree only
  win64   build the win64 tree only
  fuzz [SECONDS]
          build the fuzz targets with clang and run each for SECONDS (default 60)
  bench [--runs N] [--payloads mixed,small1k,small50k,dlls,big4x72,big400] [--no-wine]
          build release trees and time zq build and silent installs against makensis and
          its setups, and the 64-bit engine against wixl and msiexec under 64-bit Wine
          (figures in docs/performance.md)
  format  format every *.cpp and *.h of src/ and tests/ in place by .clang-format (the test
          run fails on a file that is not)
  clean   remove the build trees
USAGE
}

cmd=${1:-}
case "$cmd" in
  demo) ensure_deps; demo ;;
  test) ensure_deps; run_tests ;;
  build) ensure_deps; build_preset host; build_preset win32; build_preset win64 ;;
  host) ensure_deps; build_preset host ;;
  win32) ensure_deps; build_preset win32 ;;
  win64) ensure_deps; build_preset win64 ;;
  fuzz) shift; exec tests/fuzz/run_fuzz.sh "$@" ;;
  bench) shift; ensure_deps; bench "$@" ;;
  format) ensure_deps clang-format-14; tests/format/format.sh --in-place "$ROOT" ;;
  clean) rm -rf build ;;
  -h|--help|help) usage ;;
  *) usage >&2; exit 2 ;;
esac
