#!/usr/bin/env bash
# One entry for everything: ./make.sh demo | test | build | host | win32 | clean
# On a fresh Debian 12 machine it first installs what the project needs (quietly, only what
# is missing), then configures and builds.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=${JOBS:-$(nproc)}

HOST_PACKAGES=(cmake g++ make pkg-config libgtest-dev googletest libbenchmark-dev libsqlite3-dev libssl-dev zlib1g-dev)
WIN_PACKAGES=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 libz-mingw-w64-dev
              wine wine32 xvfb xauth xdotool imagemagick)

say() { printf '\033[1m== %s\033[0m\n' "$*"; }

missing_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

ensure_deps() {
  local missing
  missing=$(missing_packages "${HOST_PACKAGES[@]}" "${WIN_PACKAGES[@]}")
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
  if [ ! -f "build/$1/CMakeCache.txt" ]; then
    cmake --preset "$1" >/dev/null
  fi
}

build_preset() {  # preset
  configure "$1"
  say "building $1"
  cmake --build "build/$1" -j "$JOBS"
}

# A Wine prefix of our own inside the build tree, made without install dialogs.
WINE_PREFIX_DIR="$ROOT/build/win32/wineprefix"
wine_env() {
  export WINEPREFIX="$WINE_PREFIX_DIR" WINEDEBUG=-all WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml="
}
wine_start() {
  wine_env
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "making a Wine prefix in build/win32/wineprefix"
    wineboot -i >/dev/null 2>&1 || true
  fi
}
wine_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
}

run_tests() {
  build_preset host
  build_preset win32
  say "host unit tests (AddressSanitizer, UndefinedBehaviorSanitizer)"
  ctest --preset host -j "$JOBS"
  say "win32 unit tests under Wine"
  wine_start
  trap wine_stop EXIT
  ctest --preset win32 -j "$JOBS"
  wine_stop
  trap - EXIT
}

demo() {
  build_preset host
  local out="$ROOT/build/demo"
  rm -rf "$out" && mkdir -p "$out"
  say "a sample setup package"
  "$ROOT/build/host/tests/make_sample_setup" "$out/SampleSetup.exe"
  say "zq list"
  "$ROOT/build/host/zq" list "$out/SampleSetup.exe"
  say "zq verify"
  "$ROOT/build/host/zq" verify "$out/SampleSetup.exe"
  say "zq info"
  "$ROOT/build/host/zq" info "$out/SampleSetup.exe"
  say "zq lang"
  "$ROOT/build/host/zq" lang "$out/SampleSetup.exe"
  say "zq extract --group 1"
  "$ROOT/build/host/zq" extract "$out/SampleSetup.exe" -o "$out/extracted" --group 1
  (cd "$out/extracted" && find . -type f | sort | sed -n '1,6p;$p')
  say "zq log (the sample's uninstall log, from group 0)"
  "$ROOT/build/host/zq" extract "$out/SampleSetup.exe" -o "$out/setup-files" --group 0 >/dev/null
  "$ROOT/build/host/zq" log "$out/setup-files/Sample_install.log"
  say "zq verify on a copy with one byte flipped"
  cp "$out/SampleSetup.exe" "$out/Damaged.exe"
  printf '\x55' | dd of="$out/Damaged.exe" bs=1 seek=70000 conv=notrunc status=none
  if "$ROOT/build/host/zq" verify "$out/Damaged.exe"; then
    echo "the damage went unnoticed" >&2
    return 1
  fi
  echo "(exit code 1, as expected)"
}

usage() {
  cat <<'USAGE'
usage: ./make.sh COMMAND
  demo    build, then make a sample setup package and inspect it with zq
  test    build everything and run the host tests and the win32 tests under Wine
  build   build the host (build/host) and win32 (build/win32) trees
  host    build the host tree only
  win32   build the win32 tree only
  clean   remove the build trees
USAGE
}

cmd=${1:-}
case "$cmd" in
  demo) ensure_deps; demo ;;
  test) ensure_deps; run_tests ;;
  build) ensure_deps; build_preset host; build_preset win32 ;;
  host) ensure_deps; build_preset host ;;
  win32) ensure_deps; build_preset win32 ;;
  clean) rm -rf build ;;
  -h|--help|help) usage ;;
  *) usage >&2; exit 2 ;;
esac
