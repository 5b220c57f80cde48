#!/usr/bin/env bash
# The engine program of a Windows tree as the host's zq sees it, without starting it: the
# processor its headers name, and the resources zq build writes into it (manifest, version,
# icon) read back by our own reader, in a setup and in zq verify's report.
# usage: engine_image.sh SOURCE_DIR WINDOWS_BUILD_DIR HOST_BUILD_DIR win32|win64
SOURCE_DIR=$(cd "$1" && pwd)
BUILD_DIR=$(cd "$2" && pwd)
HOST_DIR=$(cd "$3" && pwd)
. "$SOURCE_DIR/tests/e2e/e2e_common.sh"
ENGINE=x86
[ "$4" = win64 ] && ENGINE=x64

WORK="$BUILD_DIR/engine-image"
case "$WORK" in "$BUILD_DIR"/engine-image) rm -rf -- "$WORK" ;; *) exit 2 ;; esac
mkdir -p "$WORK/payload"
printf 'a' >"$WORK/payload/a.txt"
cp "$SOURCE_DIR/examples/demo/demo.ico" "$WORK/"
printf '%s\n' 'name "zq image"' 'outfile ImageSetup.exe' 'installdir "C:\zq-image"' 'version 4.5.6' \
  'publisher "zq Image Works"' 'icon demo.ico' 'executionlevel highest' 'uninstallpages uninstall' 'file payload' \
  >"$WORK/setup.zqs"
"$HOST_DIR/zq" build "$WORK/setup.zqs" -o "$WORK/ImageSetup.exe" --stub "$BUILD_DIR/zqsetup.exe" >"$WORK/build.txt" 2>&1
check "zq build takes the engine" test -f "$WORK/ImageSetup.exe"
INFO=$("$HOST_DIR/zq" info "$WORK/ImageSetup.exe" 2>&1 || true)
check "the setup's engine is $ENGINE" grep -qx "engine: $ENGINE" <<<"$INFO"
check "the version resource reads back" grep -qx 'version: 4.5.6' <<<"$INFO"
check "the publisher reads back" grep -qx 'publisher: zq Image Works' <<<"$INFO"
check "the manifest's execution level reads back" grep -qx 'execution_level: highest' <<<"$INFO"
check "the icon reads back" grep -qx 'icon: yes' <<<"$INFO"
check "zq info --json names the engine" json_true <("$HOST_DIR/zq" info --json "$WORK/ImageSetup.exe") "j['engine'] == '$ENGINE'"
check "zq verify passes and names the engine" bash -c "'$HOST_DIR/zq' verify '$WORK/ImageSetup.exe' | grep -qx 'engine: $ENGINE'"
# The manifest names the program's processor, as the system checks it against the image.
arch=x86
[ "$ENGINE" = x64 ] && arch=amd64
check "the manifest names $arch" grep -qa "processorArchitecture=\"$arch\"" "$WORK/ImageSetup.exe"
# A release folder holds both engines beside zq: each script gets the one its architecture names.
if [ "$ENGINE" = x64 ] && [ -f "$SOURCE_DIR/build/win32/zqsetup.exe" ]; then
  mkdir -p "$WORK/release"
  cp "$HOST_DIR/zq" "$WORK/release/zq"
  cp "$SOURCE_DIR/build/win32/zqsetup.exe" "$SOURCE_DIR/build/win32/zqfinalise.exe" "$WORK/release/"
  cp "$BUILD_DIR/zqsetup.exe" "$WORK/release/zqsetup64.exe"
  cp "$BUILD_DIR/zqfinalise.exe" "$WORK/release/zqfinalise64.exe"
  for arch in x86 x64; do
    sed "s/^outfile .*/outfile Release$arch.exe/" "$WORK/setup.zqs" >"$WORK/release-$arch.zqs"
    echo "architecture $arch" >>"$WORK/release-$arch.zqs"
    "$WORK/release/zq" build "$WORK/release-$arch.zqs" -o "$WORK/Release$arch.exe" >"$WORK/release-$arch.txt" 2>&1 || true
  done
  check "from a release folder, an x86 script gets the 32-bit engine" \
    bash -c "'$HOST_DIR/zq' info '$WORK/Releasex86.exe' | grep -qx 'engine: x86'"
  check "from a release folder, an x64 script gets the 64-bit engine" \
    bash -c "'$HOST_DIR/zq' info '$WORK/Releasex64.exe' | grep -qx 'engine: x64'"
  check "and the 64-bit finaliser with it" bash -c \
    "'$HOST_DIR/zq' extract '$WORK/Releasex64.exe' -o '$WORK/x64-entries' >/dev/null && cmp -s \"\$(find '$WORK/x64-entries' -iname 'UNINSTALL_zqfinalise*' -o -iname 'UNINSTALL_finalise*' | head -n 1)\" '$BUILD_DIR/zqfinalise.exe'"
fi
finish
