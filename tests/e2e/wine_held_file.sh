#!/usr/bin/env bash
# A file another program holds: an upgrade over it ends with exit code 2, names the file, and
# leaves the installed product exactly as it was; once the file is free the upgrade goes through.
# usage: wine_held_file.sh SOURCE_DIR WINDOWS_BUILD_DIR HOST_BUILD_DIR HOLD_FILE_EXE
SOURCE_DIR=$(cd "$1" && pwd)
BUILD_DIR=$(cd "$2" && pwd)
HOST_DIR=$(cd "$3" && pwd)
HOLDER=$4
. "$SOURCE_DIR/tests/e2e/e2e_common.sh"

WORK="$BUILD_DIR/held-file"
case "$WORK" in "$BUILD_DIR"/*) rm -rf -- "$WORK" ;; *) exit 2 ;; esac
# A prefix of its own: the restarts below end every program of the prefix, a test beside it too.
export WINEPREFIX="$WORK/wineprefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WORK"
make_wine_prefix "$WINEPREFIX" "$ZQ_WINE_ARCH" "$BUILD_DIR/wine-templates"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
INST="$WINEPREFIX/drive_c/zq-held-file-test"
case "$INST" in "$WINEPREFIX"/drive_c/zq-held-file-test) rm -rf -- "$INST" ;; esac
make_setup() {  # version [extra script line [line after the files, which include the holder]]
  mkdir -p "$WORK/v$1/payload" "$WORK/out$1"
  for f in a b c; do printf 'version %s of %s' "$1" "$f" >"$WORK/v$1/payload/$f.txt"; done
  [ -z "${3:-}" ] || cp "$HOLDER" "$WORK/v$1/payload/hold.exe"
  printf '%s\n' 'name "Held"' 'shortname "zq held file test"' 'outfile HeldSetup.exe' \
    'installdir "C:\zq-held-file-test"' 'prefix Held' 'uninstallpages uninstall' 'language English' \
    'uninstalllanguage English' 'uninstalllogload $INSTDIR Held_' \
    "writeregstr HKCU \"Software\\zq held file test\" Version $1" ${2:+"$2"} 'file payload' ${3:+"$3"} >"$WORK/v$1/setup.zqs"
  "$HOST_DIR/zq" build "$WORK/v$1/setup.zqs" -o "$WORK/out$1/HeldSetup.exe" --stub "$BUILD_DIR/zqsetup.exe" >/dev/null
}
make_setup 1
make_setup 2
make_setup 3 'lockedfiles reboot'
make_setup 4 'lockedfiles fail' 'execute "$INSTDIR\hold.exe" "C:\zq-held-file-test\c.txt"'
code=0; (cd "$WORK/out1" && wine HeldSetup.exe /S) >/dev/null 2>&1 || code=$?
check "version 1 installs" test "$code" = 0
snapshot() { (cd "$INST" && find . -type f | sort | xargs md5sum); }
before=$(snapshot)

wine "$HOLDER" 'C:\zq-held-file-test\b.txt' >/dev/null 2>&1 &
holder=$!
for _ in $(seq 1 100); do [ -e "$INST/b.txt.held" ] && break; sleep 0.1; done
check "another program holds b.txt" test -e "$INST/b.txt.held"
rm -f "$INST/b.txt.held"  # the holder's marker is no part of the installation
code=0; (cd "$WORK/out2" && wine HeldSetup.exe /S "/LOG=$WORK/upgrade.txt") >/dev/null 2>&1 || code=$?
check "the upgrade over a held file ends with exit code 2" test "$code" = 2
check "its log names the file in use" grep -qF 'in use: C:\zq-held-file-test\b.txt' "$WORK/upgrade.txt"
check "and says the run was undone" grep -qF 'the run was undone' "$WORK/upgrade.txt"
check "every installed file is as it was" test "$(snapshot)" = "$before"

# With "lockedfiles reboot" the held file is put in place at the next restart: exit code 3010
# (194, its low byte), the new file waiting beside the held one, the rename pending.
code=0; (cd "$WORK/out3" && wine HeldSetup.exe /S "/LOG=Z:$WORK/reboot.txt") >/dev/null 2>&1 || code=$?
check "an upgrade with lockedfiles reboot ends with exit code 3010" test "$code" = 194
check "its log says so" grep -q '^exit code 3010' "$WORK/reboot.txt"
check "and names the file replaced at the restart" grep -qF 'replaced at the next restart: C:\zq-held-file-test\b.txt' "$WORK/reboot.txt"
check "the other files are the new version" grep -q 'version 3 of a' "$INST/a.txt"
check "the held file is the old one until the restart" grep -q 'version 1 of b' "$INST/b.txt"
pending() { wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null | tr -d '\r'; }
check "the system has the rename pending" bash -c "$(declare -f pending); pending | grep -qi 'zq-held-file-test.b.txt.zqnew'"
touch "$INST/b.txt.release"
wait "$holder" 2>/dev/null || true
wine wineboot -r >/dev/null 2>&1 || true  # a restart: the system puts the new file in place
check "after the restart the new file is in place" grep -q 'version 3 of b' "$INST/b.txt"
check "and nothing waits beside it" test ! -e "$INST/b.txt.zqnew"
# A restart pending from an earlier run must not bring its older file back over a newer one:
# the next upgrade takes the waiting file away, and the system's rename comes to nothing.
wine "$HOLDER" 'C:\zq-held-file-test\b.txt' >/dev/null 2>&1 &
holder=$!
for _ in $(seq 1 100); do [ -e "$INST/b.txt.held" ] && break; sleep 0.1; done
rm -f "$INST/b.txt.held"
code=0; (cd "$WORK/out3" && wine HeldSetup.exe /S) >/dev/null 2>&1 || code=$?
check "held again, the reboot setup leaves its file waiting" test "$code" = 194 -a -e "$INST/b.txt.zqnew"
touch "$INST/b.txt.release"
wait "$holder" 2>/dev/null || true
code=0; (cd "$WORK/out2" && wine HeldSetup.exe /S) >/dev/null 2>&1 || code=$?
check "once it is free an upgrade goes through" test "$code" = 0
check "and takes the waiting file away" test ! -e "$INST/b.txt.zqnew"
wine wineboot -r >/dev/null 2>&1 || true
check "after the restart the newer file stays" grep -q 'version 2 of b' "$INST/b.txt"

# One run of a product at a time: while version 4's run waits in `execute`, a run of version 1
# ends at once with 1618 (82 is its low byte) and changes nothing.
(cd "$WORK/out4" && exec "$ZQ_WINE_LOADER" HeldSetup.exe /S) >/dev/null 2>&1 &
first=$!
for _ in $(seq 1 300); do [ -e "$INST/c.txt.held" ] && break; sleep 0.1; done
rm -f "$INST/c.txt.held"
running=$(snapshot)
code=0; (cd "$WORK/out1" && wine HeldSetup.exe /S "/LOG=Z:$WORK/second.txt") >/dev/null 2>&1 || code=$?
check "a second run of the product while one runs ends with exit code 1618" test "$code" = 82
check "its log has the whole code" grep -q '^exit code 1618' "$WORK/second.txt"
check "and it changed nothing" test "$(snapshot)" = "$running"
touch "$INST/c.txt.release"
code=0; wait "$first" || code=$?
check "the first run ends as usual" test "$code" = 0 -a -e "$INST/hold.exe"

# The uninstaller over a held file removes the rest and leaves that one for the system to delete
# at the next restart: exit code 3010 (194 is its low byte, which is all a Linux status keeps;
# the log has the whole code).
wine "$HOLDER" 'C:\zq-held-file-test\a.txt' >/dev/null 2>&1 &
holder=$!
for _ in $(seq 1 100); do [ -e "$INST/a.txt.held" ] && break; sleep 0.1; done
rm -f "$INST/a.txt.held"
code=0; (cd "$INST" && wine Held_Uninstall.exe /S "/LOG=Z:$WORK/uninstall.txt") >/dev/null 2>&1 || code=$?
check "the uninstall over a held file ends with exit code 3010" test "$code" = 194
check "its log says so" grep -q '^exit code 3010' "$WORK/uninstall.txt"
check "and names the file left for the restart" grep -qF 'deleted at the next restart: C:\zq-held-file-test\a.txt' "$WORK/uninstall.txt"
check "the other files are removed" test ! -e "$INST/c.txt"
check "the system has the file's deletion pending" bash -c "$(declare -f pending); pending | grep -qi 'zq-held-file-test.a.txt'"
check "the registration is gone" bash -c "! wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\zq held file test' >/dev/null 2>&1"
touch "$INST/a.txt.release"
wait "$holder" 2>/dev/null || true
code=0
for _ in $(seq 1 40); do [ -e "$INST/Held_Uninstall.exe" ] || break; sleep 0.5; done
rm -f "$INST/a.txt"  # what the restart would have deleted
check "and leaves no other file" test -z "$(find "$INST" -type f 2>/dev/null)"
rmdir "$INST" 2>/dev/null || true

# Where the system takes no deletion at the next restart (a pending-renames value of the wrong
# type makes it refuse every request), the uninstall stops at the held file: exit code 2, and
# its registration, the product's registry value and a log of what is left stay. Run again once
# the file is free, it removes them all.
code=0; (cd "$WORK/out1" && wine HeldSetup.exe /S) >/dev/null 2>&1 || code=$?
check "version 1 installs again" test "$code" = 0
SESSION='HKLM\System\CurrentControlSet\Control\Session Manager'
check "the pending renames take a value of the wrong type" \
  wine reg add "$SESSION" /v PendingFileRenameOperations /t REG_DWORD /d 0 /f
value() { wine reg query 'HKCU\Software\zq held file test' /v Version; }
entry() { wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\zq held file test'; }
wine "$HOLDER" 'C:\zq-held-file-test\a.txt' >/dev/null 2>&1 &
holder=$!
for _ in $(seq 1 100); do [ -e "$INST/a.txt.held" ] && break; sleep 0.1; done
rm -f "$INST/a.txt.held"
code=0; (cd "$INST" && wine Held_Uninstall.exe /S "/LOG=Z:$WORK/unfinished.txt") >/dev/null 2>&1 || code=$?
check "without a restart to take the held file, the uninstall ends with exit code 2" test "$code" = 2
check "its log says what it keeps" grep -qF 'the uninstall is not finished: 1 file in use; the log keeps it' \
  "$WORK/unfinished.txt"
check "the other files are removed, the uninstaller stays" test ! -e "$INST/b.txt" -a -e "$INST/Held_Uninstall.exe"
check "the product's registry value stays" value
check "and so does the registration" entry
touch "$INST/a.txt.release"
wait "$holder" 2>/dev/null || true
wine reg delete "$SESSION" /v PendingFileRenameOperations /f >/dev/null 2>&1 || true
code=0; wine 'C:\zq-held-file-test\Held_Uninstall.exe' /S "/LOG=Z:$WORK/retry.txt" >/dev/null 2>&1 || code=$?
check "run again once the file is free, the uninstall ends with exit code 0" test "$code" = 0
check "it removes the held file" test ! -e "$INST/a.txt"
check "and the product's registry value" bash -c "$(declare -f value); ! value"
check "and the registration" bash -c "$(declare -f entry); ! entry"
for _ in $(seq 1 40); do [ -e "$INST" ] || break; sleep 0.5; done
check "and the folder, once the finaliser is done" test ! -e "$INST"
if [ "$FAILURES" -eq 0 ]; then
  wineserver -k >/dev/null 2>&1 || true
  case "$WINEPREFIX" in "$BUILD_DIR"/held-file/wineprefix) rm -rf -- "$WINEPREFIX" ;; esac
fi
finish
