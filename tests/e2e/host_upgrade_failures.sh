#!/usr/bin/env bash
# Failures injected into a 200-file upgrade on the host: a target made a folder, the uninstaller
# unwritable, the disk full. Each upgrade ends with exit code 2 and leaves every file's bytes,
# the folders, the registry values and the Add/Remove entry as they were.
# usage: host_upgrade_failures.sh SOURCE_DIR BUILD_DIR
SOURCE_DIR=$(cd "$1" && pwd)
BUILD_DIR=$(cd "$2" && pwd)
. "$SOURCE_DIR/tests/e2e/e2e_common.sh"

WORK="$BUILD_DIR/e2e-upgrade-failures"
case "$WORK" in "$BUILD_DIR"/*) ;; *) exit 2 ;; esac
mountpoint -q "$WORK/prefix/drive_c/Upgrades" 2>/dev/null && umount "$WORK/prefix/drive_c/Upgrades"
rm -rf -- "$WORK"
mkdir -p "$WORK"
export ZQ_PREFIX="$WORK/prefix"
ZQ="$BUILD_DIR/zq"
INST="$ZQ_PREFIX/drive_c/Upgrades"

make_setup() {  # version
  local v=$1 src="$WORK/v$1"
  mkdir -p "$src/payload"
  for d in $(seq -w 0 19); do
    mkdir -p "$src/payload/dir$d"
    for f in $(seq -w 0 9); do head -c $((4000 + 10#$f * 1000)) /dev/urandom >"$src/payload/dir$d/f$f.bin"; done
  done
  printf '%s\n' 'name "Upgrades"' 'shortname "zq upgrade failures"' "outfile Upgrades-$v.exe" \
    'installdir "C:\Upgrades"' 'prefix Upgrades' 'uninstallpages uninstall' 'language English' \
    'uninstalllanguage English' 'uninstalllogload $INSTDIR Upgrades_' \
    "writeregstr HKCU \"Software\\zq upgrade failures\" Version $v" 'file payload' >"$src/setup.zqs"
  "$ZQ" build "$src/setup.zqs" -o "$WORK/Upgrades-$v.exe" --stub "$BUILD_DIR/zqsetup" >/dev/null 2>&1
}
make_setup 1
make_setup 2
(cd "$WORK" && ./Upgrades-1.exe /S) >/dev/null 2>&1
check "version 1 installs" same_tree "$WORK/v1/payload" "$INST"

# Every file's bytes, every folder, the product's registry values and its Add/Remove entry.
state() {
  (cd "$INST" && find . -mindepth 1 | sort | while IFS= read -r f; do
    if [ -d "$f" ]; then echo "$f/"; else echo "$f $(md5sum <"$f" | cut -c1-32)"; fi
  done)
  sqlite3 "$ZQ_PREFIX/system.db" "select cast(k.path as text), cast(v.name as text), hex(v.data) from vals v
    join keys k using(root, lpath) where cast(k.path as text) like '%zq upgrade failures%' order by 1, 2"
}
upgrade_fails_and_changes_nothing() {  # what was injected
  local before code=0
  before=$(state)
  (cd "$WORK" && ./Upgrades-2.exe /S "/LOG=$WORK/log.txt") >/dev/null 2>&1 || code=$?
  check "$1: the upgrade ends with exit code 2" test "$code" = 2
  check "$1: the log says the run was undone" grep -qF 'the run was undone' "$WORK/log.txt"
  check "$1: every file, folder and value is as it was" test "$(state)" = "$before"
}

# A folder where one of the new files goes.
mv "$INST/dir07/f4.bin" "$WORK/f4.bin"
mkdir "$INST/dir07/f4.bin"
upgrade_fails_and_changes_nothing "a target made a folder"
rmdir "$INST/dir07/f4.bin"
mv "$WORK/f4.bin" "$INST/dir07/f4.bin"

# The uninstaller cannot be written (a folder stands in its place).
mv "$INST/Upgrades_Uninstall.exe" "$WORK/uninstaller"
mkdir "$INST/Upgrades_Uninstall.exe"
upgrade_fails_and_changes_nothing "the uninstaller unwritable"
rmdir "$INST/Upgrades_Uninstall.exe"
mv "$WORK/uninstaller" "$INST/Upgrades_Uninstall.exe"

# The disk fills half-way: the installation on a small file system of its own.
if mkdir -p "$WORK/small" && mount -t tmpfs -o size=2m tmpfs "$WORK/small" 2>/dev/null; then
  umount "$WORK/small"
  size_kb=$(( $(du -sk "$INST" | cut -f1) + 600 ))
  cp -a "$INST" "$WORK/installed"
  rm -rf -- "$INST"
  mkdir "$INST"
  mount -t tmpfs -o "size=${size_kb}k" tmpfs "$INST"
  cp -a "$WORK/installed/." "$INST/"
  upgrade_fails_and_changes_nothing "the disk full"
  check "the disk full: the log says so" grep -qF 'the disk is full' "$WORK/log.txt"
  rm -rf -- "$WORK/installed"
  cp -a "$INST" "$WORK/installed"
  umount "$INST"
  rmdir "$INST"
  mv "$WORK/installed" "$INST"
else
  echo "the disk-full case needs a tmpfs mount, which this machine refuses" >&2
fi

(cd "$WORK" && ./Upgrades-2.exe /S) >/dev/null 2>&1
check "with nothing in the way the upgrade goes through" same_tree "$WORK/v2/payload" "$INST"
"$INST/Upgrades_Uninstall.exe" /S >/dev/null 2>&1
for _ in $(seq 1 20); do [ -e "$INST" ] || break; sleep 0.2; done
check "and its uninstall leaves nothing" test ! -e "$INST"
finish
