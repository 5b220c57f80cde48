#!/usr/bin/env bash
# Kills on the host: a 200-file install and an upgrade over it are killed (SIGKILL) at random
# moments; the next run of the product finishes the interrupted one, and in the end the
# uninstall leaves no file, folder or registry value of the product.
# usage: host_kill_sweep.sh SOURCE_DIR BUILD_DIR [KILLS]
SOURCE_DIR=$(cd "$1" && pwd)
BUILD_DIR=$(cd "$2" && pwd)
KILLS=${3:-8}
. "$SOURCE_DIR/tests/e2e/e2e_common.sh"

WORK="$BUILD_DIR/e2e-kills"
case "$WORK" in "$BUILD_DIR"/*) rm -rf -- "$WORK" ;; *) exit 2 ;; esac
mkdir -p "$WORK"
export ZQ_PREFIX="$WORK/prefix"
ZQ="$BUILD_DIR/zq"
INST="$ZQ_PREFIX/drive_c/Kills"
JOURNALS="$ZQ_PREFIX/drive_c/ProgramData/zqsetup"  # the engine's own folder: where a killed run's journal stays

make_setup() {  # version -> Kills-VERSION.exe with 200 files in 20 folders, each naming the version
  local v=$1 src="$WORK/v$1"
  mkdir -p "$src/payload"
  for d in $(seq -w 0 19); do
    mkdir -p "$src/payload/dir$d"
    for f in $(seq -w 0 9); do head -c $((2000 + 10#$f * 1000)) /dev/urandom >"$src/payload/dir$d/f$f.bin"; echo "v$v" >>"$src/payload/dir$d/f$f.bin"; done
  done
  printf '%s\n' 'name "Kills"' 'shortname "zq kill sweep"' "outfile Kills-$v.exe" 'installdir "C:\Kills"' \
    'prefix Kills' 'uninstallpages uninstall' 'language English' 'uninstalllanguage English' \
    'uninstalllogload $INSTDIR Kills_' "writeregstr HKCU \"Software\\zq kill sweep\" Version $v" 'file payload' \
    >"$src/setup.zqs"
  "$ZQ" build "$src/setup.zqs" -o "$WORK/Kills-$v.exe" --stub "$BUILD_DIR/zqsetup" >/dev/null 2>&1
}
make_setup 1
make_setup 2

left_values() {
  sqlite3 "$ZQ_PREFIX/system.db" "select count(*) from vals v join keys k using(root, lpath) where cast(k.path as text) like '%zq kill sweep%'" 2>/dev/null || echo 0
}
killed_run() {  # setup -> starts it and kills it after a random moment (up to 0.3 s)
  (cd "$WORK" && exec ./"$1" /S) >/dev/null 2>&1 &
  local pid=$!
  sleep "0.$(printf '%03d' $((RANDOM % 300)))"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  compgen -G "$JOURNALS/zq kill sweep-*.zqr" >/dev/null && INTERRUPTED=$((INTERRUPTED + 1))
  return 0
}
INTERRUPTED=0

# An install killed: the next install finishes with exit 0 and the tree of version 1.
bad=0
for i in $(seq 1 "$KILLS"); do
  killed_run Kills-1.exe
  (cd "$WORK" && ./Kills-1.exe /S >/dev/null 2>&1) || bad=$((bad + 1))
  same_tree "$WORK/v1/payload" "$INST" >/dev/null 2>&1 || bad=$((bad + 1))
  "$INST/Kills_Uninstall.exe" /S >/dev/null 2>&1
  for _ in 1 2 3 4 5 6 7 8 9 10; do [ -e "$INST" ] || break; sleep 0.2; done
  [ -e "$INST" ] && bad=$((bad + 1))
done
check "$KILLS killed installs: each re-run installs whole and its uninstall leaves nothing" test "$bad" = 0

# An upgrade killed: the next start of the uninstaller finds version 1 whole (the upgrade undone)
# or, when the kill came after its commit, version 2.
(cd "$WORK" && ./Kills-1.exe /S >/dev/null 2>&1)
bad=0
for i in $(seq 1 "$KILLS"); do
  killed_run Kills-2.exe
  (cd "$WORK" && ./Kills-1.exe /S >/dev/null 2>&1) || bad=$((bad + 1))  # recovers, then installs v1 again
  same_tree "$WORK/v1/payload" "$INST" >/dev/null 2>&1 || bad=$((bad + 1))
  [ -z "$(find "$INST" -name '*.zqold*' -o -name '*.zqr')" ] || bad=$((bad + 1))
  compgen -G "$JOURNALS/zq kill sweep-*.zqr*" >/dev/null && bad=$((bad + 1))  # none left, none refused
done
check "$KILLS killed upgrades: each next run finds one whole version and nothing kept aside" test "$bad" = 0
"$INST/Kills_Uninstall.exe" /S >/dev/null 2>&1
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -e "$INST" ] || break; sleep 0.2; done
check "the final uninstall leaves no file or folder" test ! -e "$INST"
check "and no registry value" test "$(left_values)" = 0
echo "$INTERRUPTED of $((2 * KILLS)) kills landed inside a run (its journal was left)"
finish
