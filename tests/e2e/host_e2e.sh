#!/usr/bin/env bash
# End to end on the host: build the demo setup, install it silently into a fresh prefix,
# compare what was installed, read the registry back, uninstall, and show what is left.
# usage: host_e2e.sh SOURCE_DIR BUILD_DIR
SOURCE_DIR=$(cd "$1" && pwd)
BUILD_DIR=$(cd "$2" && pwd)
. "$SOURCE_DIR/tests/e2e/e2e_common.sh"

WORK="$BUILD_DIR/e2e-host"
make_demo_workspace "$WORK"
export ZQ_PREFIX="$WORK/prefix"
ZQ="$BUILD_DIR/zq"
SETUP="$WORK/DemoSetup.exe"

"$ZQ" build "$WORK/demo/setup.zqs" -o "$SETUP" --stub "$BUILD_DIR/zqsetup" >/dev/null
check "the setup verifies" "$ZQ" verify "$SETUP"

INST="$ZQ_PREFIX/drive_c/Program Files/Demo Product"
MENU="$ZQ_PREFIX/drive_c/users/${USER:-user}/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Demo Product"
reg() {  # root-handle key value -> data
  sqlite3 "$ZQ_PREFIX/system.db" "select cast(v.data as text) from vals v where v.root=$1 and cast(v.lpath as text)=lower('$2') and cast(v.lname as text)=lower('$3')"
}
reg_typed() {  # root-handle key value -> type:hex
  sqlite3 "$ZQ_PREFIX/system.db" "select v.type || ':' || hex(v.data) from vals v where v.root=$1 and cast(v.lpath as text)=lower('$2') and cast(v.lname as text)=lower('$3')"
}
reg_dword() {  # root-handle key value -> the REG_DWORD in decimal; nothing for another type
  local t; t=$(reg_typed "$@")
  [[ $t == 4:???????? ]] && echo $(( 0x${t:8:2}${t:6:2}${t:4:2}${t:2:2} ))
}
HKCU=2147483649 HKCR=2147483648 HKLM=2147483650
installed_kib() {  # what the uninstall would remove: the folder's files and the shortcuts
  find "$INST" "$MENU" -type f -printf '%s\n' | awk '{ s += $1 } END { print int((s + 1023) / 1024) }'
}

(cd "$WORK" && ./DemoSetup.exe /S "/LOG=$WORK/install.txt")
check "install exit code 0" true
check "the payload is installed byte for byte" same_tree "$WORK/demo/payload" "$INST" docs/part0/file000.txt $DEMO_ARCHIVES
check_demo_archives "$ZQ" "$INST" "$WORK/demo" "$WORK/archives"
check "a subfolder group" cmp -s "$WORK/demo/extras/hq.cfg" "$INST/Extras/hq.cfg"
check "the conditional group stays out" test ! -e "$INST/HQ/quality.cfg"
check "copyfile" cmp -s "$INST/demo.cfg" "$INST/saves/default.cfg"
check "delete" test ! -e "$INST/docs/part0/file000.txt"
check "rmdir" test ! -e "$INST/cache"
check "registry value with the folder expanded" test "$(reg $HKCU 'Software\zqsetup Demo\Demo Product' InstallDir)" = 'C:\Program Files\Demo Product'
check "URL protocol command" test "$(reg $HKCR 'zqdemo\shell\open\command' '')" = '"C:\Program Files\Demo Product\demo.exe" "%1"'
ENTRY='SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Demo Product'
check "uninstall registration" test "$(reg $HKLM "$ENTRY" UninstallString)" = '"C:\Program Files\Demo Product\Demo_Uninstall.exe"'
check "quiet uninstall" test "$(reg $HKLM "$ENTRY" QuietUninstallString)" = '"C:\Program Files\Demo Product\Demo_Uninstall.exe" /S'
check "the entry's folder" test "$(reg $HKLM "$ENTRY" InstallLocation)" = 'C:\Program Files\Demo Product'
check "NoModify and NoRepair are REG_DWORD 1" test "$(reg_dword $HKLM "$ENTRY" NoModify) $(reg_dword $HKLM "$ENTRY" NoRepair)" = '1 1'
check "EstimatedSize is the installed KiB" test "$(reg_dword $HKLM "$ENTRY" EstimatedSize)" = "$(installed_kib)"
check "shortcut" grep -q 'Target=C:\\Program Files\\Demo Product\\demo.exe' "$MENU/Demo Product.lnk"
check "the uninstall log decodes" bash -c "'$ZQ' log '$INST/Demo_install.log' | grep -q 'HKCR'"
check "the uninstaller is a setup of mode 1" bash -c "'$ZQ' info '$INST/Demo_Uninstall.exe' | grep -q 'mode: 1'"
check "the readable log names the files" grep -q 'file C:\\Program Files\\Demo Product\\readme.txt' "$WORK/install.txt"

echo "my own notes" > "$INST/saves/notes.txt"
"$INST/Demo_Uninstall.exe" /S "/LOG=$WORK/uninstall.txt"
check "uninstall exit code 0" true
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -e "$INST/Demo_Uninstall.exe" ] || break; sleep 0.5; done
check "the user's file stays" test -f "$INST/saves/notes.txt"
check "only the user's file stays" test "$(find "$INST" -type f | wc -l)" = 1
check "the uninstaller is gone (finaliser)" test ! -e "$INST/Demo_Uninstall.exe"
check "the log is gone" test ! -e "$INST/Demo_install.log"
check "the shortcuts are gone" test ! -e "$MENU/Demo Product.lnk"
check "registry values are gone" test -z "$(reg $HKCU 'Software\zqsetup Demo\Demo Product' InstallDir)"
check "the registration is gone" test -z "$(sqlite3 "$ZQ_PREFIX/system.db" "select 1 from keys where root=$HKLM and cast(lpath as text)=lower('$ENTRY') union all select 1 from vals where root=$HKLM and cast(lpath as text)=lower('$ENTRY')")"
check "nothing is left in the temporary folder" test -z "$(ls -A "$ZQ_PREFIX/drive_c/users/${USER:-user}/Temp")"

# Refusals: a renamed setup, a damaged one.
cp "$SETUP" "$WORK/Renamed.exe"
code=0; (cd "$WORK" && ./Renamed.exe /S) 2>"$WORK/renamed.err" || code=$?
check "a renamed setup is refused with exit code 3" test "$code" = 3
check "its refusal is one line on stderr" \
  test "$(cat "$WORK/renamed.err")" = "Error: Setup\`s filename has been renamed Expected: DemoSetup.exe Found: Renamed.exe"
rm -f -- "$WORK/Renamed.exe"  # a copy of the setup with the sanitized engine: 76 MB
cp "$SETUP" "$WORK/damaged/DemoSetup.exe" 2>/dev/null || { mkdir -p "$WORK/damaged" && cp "$SETUP" "$WORK/damaged/DemoSetup.exe"; }
printf '\x55' | dd of="$WORK/damaged/DemoSetup.exe" bs=1 seek=$(( $(stat -c %s "$SETUP") - 200000 )) conv=notrunc status=none
code=0; (cd "$WORK/damaged" && ./DemoSetup.exe /S "/D=C:\\Damaged") 2>/dev/null || code=$?
check "a damaged setup is refused with exit code 3" test "$code" = 3
check "nothing was written by the damaged setup" test ! -e "$ZQ_PREFIX/drive_c/Damaged"
rm -f -- "$WORK/damaged/DemoSetup.exe"

# The command line as deployment tools pass it.
for switch in /VERYSILENT /quiet -s "/D=Relative\\Folder"; do
  code=0; (cd "$WORK" && ./DemoSetup.exe /S "$switch") >/dev/null 2>&1 || code=$?
  check "$switch is refused with exit code 3" test "$code" = 3
done
# A folder the uninstaller would refuse to empty is refused before anything is written.
for folder in 'Z:\zq-e2e-refused' 'C:\'; do
  code=0; (cd "$WORK" && ./DemoSetup.exe /S "/D=$folder") >/dev/null 2>&1 || code=$?
  check "/D=$folder is refused with exit code 3" test "$code" = 3
done
check "nothing was written on the host's own drive" test ! -e /zq-e2e-refused
check "/? shows the usage" bash -c "cd '$WORK' && ./DemoSetup.exe '/?' | grep -q 'exit codes'"
(cd "$WORK" && ./DemoSetup.exe /S /D=C:\\Other Place\\Demo Product)
OTHER="$ZQ_PREFIX/drive_c/Other Place/Demo Product"
check "an unquoted /D= with blanks takes the rest of the line" test -f "$OTHER/readme.txt"
"$OTHER/Demo_Uninstall.exe" /S

# Components chosen on the command line: exactly those named and the fixed one, or the
# defaults without the switch; an unknown name is refused before anything is written.
while IFS='|' read -r switch extras manual code_expected; do
  PICK="$ZQ_PREFIX/drive_c/Pick/Demo Product"
  code=0; (cd "$WORK" && ./DemoSetup.exe /S $switch "/D=C:\\Pick\\Demo Product") >/dev/null 2>&1 || code=$?
  check "${switch:-no /COMPONENTS=}: exit code $code_expected" test "$code" = "$code_expected"
  [ "$code" = 0 ] || { check "${switch}: nothing written" test ! -e "$PICK"; continue; }
  check "${switch:-no /COMPONENTS=}: the fixed component" test -f "$PICK/readme.txt"
  check "${switch:-no /COMPONENTS=}: extras $extras" test "$([ -e "$PICK/Extras/CREDITS.txt" ] && echo yes || echo no)" = "$extras"
  check "${switch:-no /COMPONENTS=}: manual $manual" test "$([ -e "$PICK/Manual/manual.txt" ] && echo yes || echo no)" = "$manual"
  "$PICK/Demo_Uninstall.exe" /S
  for _ in 1 2 3 4 5 6 7 8 9 10; do [ -e "$PICK/Demo_Uninstall.exe" ] || break; sleep 0.5; done
  check "${switch:-no /COMPONENTS=}: the uninstall leaves no file" test -z "$(find "$PICK" -type f 2>/dev/null)"
done <<'CASES'
|yes|no|0
/COMPONENTS=manual|no|yes|0
/COMPONENTS=|no|no|0
/COMPONENTS=Extras,MANUAL|yes|yes|0
/COMPONENTS=extras,nosuch|no|no|3
CASES

# A payload name Windows cannot take is refused by the build, not half-way through a run (the
# engine's own refusal of such a name, and the undoing of the run, have tests of their own).
REFUSING="$WORK/refusing"
mkdir -p "$REFUSING/payload"
printf 'a' >"$REFUSING/payload/a.txt"
printf 'device' >"$REFUSING/payload/aux.txt"
printf '%s\n' 'name "Refusing"' 'shortname "zq e2e refusing"' 'outfile Refusing.exe' 'installdir "C:\Refusing"' \
  'prefix Refusing' 'uninstallpages uninstall' 'language English' 'uninstalllanguage English' 'file payload' \
  >"$REFUSING/setup.zqs"
code=0; "$ZQ" build "$REFUSING/setup.zqs" -o "$REFUSING/Refusing.exe" --stub "$BUILD_DIR/zqsetup" \
  >"$REFUSING/build.txt" 2>&1 || code=$?
check "zq build refuses a name Windows does not allow (exit code 1)" test "$code" = 1 -a ! -e "$REFUSING/Refusing.exe"
check "and names it" grep -qF 'entry name "aux.txt" holds a name or character that Windows does not allow' \
  "$REFUSING/build.txt"
# A macro typed into /D= is put in as written, so the run neither stalls nor grows its paths;
# the folder it makes holds a ":" that no path can hold, so the run is refused before it starts.
code=0; (cd "$WORK" && timeout 60 ./DemoSetup.exe /S "/LOG=$WORK/macro.txt" '/D=C:\a$instdir') >/dev/null 2>&1 || code=$?
check "a macro inside /D= ends at once with exit code 3" test "$code" = 3
check "the folder holds the macro as written" grep -qF 'The folder C:\aC:\a$instdir cannot take an installation' "$WORK/macro.txt"
# One run of a product at a time: while the first run waits in `execute`, a second run of the
# same setup ends at once with 1618 (the host exits with its low byte) and logs the full code.
LOCKED="$WORK/locked"
mkdir -p "$LOCKED/payload"
printf '%s\n' '#!/bin/sh' 'touch started' 'for i in $(seq 600); do [ -e release ] && exit 0; sleep 0.1; done' \
  >"$LOCKED/payload/wait.sh"
printf '%s\n' 'name "Locked"' 'shortname "zq e2e locked"' 'outfile Locked.exe' 'installdir "C:\Locked"' \
  'prefix Locked' 'uninstallpages uninstall' 'language English' 'uninstalllanguage English' 'file payload' \
  'execute "$INSTDIR\wait.sh"' >"$LOCKED/setup.zqs"
"$ZQ" build "$LOCKED/setup.zqs" -o "$LOCKED/Locked.exe" --stub "$BUILD_DIR/zqsetup" >/dev/null
(cd "$LOCKED" && exec ./Locked.exe /S "/LOG=$LOCKED/first.txt") >/dev/null 2>&1 &
first=$!
for _ in $(seq 300); do [ -e "$LOCKED/started" ] && break; sleep 0.1; done
code=0; (cd "$LOCKED" && ./Locked.exe /S "/LOG=$LOCKED/second.txt") >/dev/null 2>&1 || code=$?
check "a second run while the first runs ends with 1618 (82 on the host)" test "$code" = $((1618 & 0xFF))
check "its log has the full code" grep -qF 'exit code 1618' "$LOCKED/second.txt"
touch "$LOCKED/release"
code=0; wait "$first" || code=$?
check "the first run ends as usual" test "$code" = 0
"$ZQ_PREFIX/drive_c/Locked/Locked_Uninstall.exe" /S
check "the product's next run is not held up" test ! -e "$ZQ_PREFIX/drive_c/Locked/wait.sh"

# compression solid: the demo with its files in LZMA2 blocks installs the same payload; a changed
# byte of a block is refused before anything is written.
sed 's/^outfile .*/outfile SolidSetup.exe/' "$WORK/demo/setup.zqs" >"$WORK/demo/solid.zqs"
echo "compression solid" >>"$WORK/demo/solid.zqs"
"$ZQ" build "$WORK/demo/solid.zqs" -o "$WORK/SolidSetup.exe" --stub "$BUILD_DIR/zqsetup" >/dev/null
check "the solid setup verifies, its blocks decoded" bash -c "'$ZQ' verify '$WORK/SolidSetup.exe' | grep -q 'solid blocks decoded'"
(cd "$WORK" && ./SolidSetup.exe /S "/D=C:\\Solid Demo")
check "solid: the payload is installed byte for byte" \
  same_tree "$WORK/demo/payload" "$ZQ_PREFIX/drive_c/Solid Demo" docs/part0/file000.txt $DEMO_ARCHIVES
"$ZQ_PREFIX/drive_c/Solid Demo/Demo_Uninstall.exe" /S
frame=$("$ZQ" list "$WORK/SolidSetup.exe" --json | python3 -c '
import json, sys
entries = json.load(sys.stdin)
group = next(e["group"] for e in entries if e["name"] == "readme.txt")
print(next(e["offset"] for e in entries if e["group"] == group) + 10)')
mkdir -p "$WORK/solid-damaged" && cp "$WORK/SolidSetup.exe" "$WORK/solid-damaged/"
printf '\x55' | dd of="$WORK/solid-damaged/SolidSetup.exe" bs=1 seek="$frame" conv=notrunc status=none
code=0; (cd "$WORK/solid-damaged" && ./SolidSetup.exe /S "/D=C:\\Solid Damaged") 2>/dev/null || code=$?
check "a changed byte of a solid block is refused with exit code 3" test "$code" = 3
check "nothing was written by it" test ! -e "$ZQ_PREFIX/drive_c/Solid Damaged"
finish
