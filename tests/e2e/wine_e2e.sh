#!/usr/bin/env bash
# End to end under Wine: the demo setup built for win32 is installed silently into a fresh
# Wine prefix, checked on disk and in the real registry, and uninstalled.
# usage: wine_e2e.sh SOURCE_DIR WIN32_BUILD_DIR HOST_BUILD_DIR
SOURCE_DIR=$(cd "$1" && pwd)
BUILD_DIR=$(cd "$2" && pwd)
HOST_DIR=$(cd "$3" && pwd)
. "$SOURCE_DIR/tests/e2e/e2e_common.sh"

WORK="$BUILD_DIR/e2e-wine"
make_demo_workspace "$WORK"
export WINEPREFIX="$WORK/wineprefix" WINEDEBUG=-all WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineboot -i >/dev/null 2>&1 || true
ZQ="$HOST_DIR/zq"
SETUP="$WORK/DemoSetup.exe"
"$ZQ" build "$WORK/demo/setup.zqs" -o "$SETUP" --stub "$BUILD_DIR/zqsetup.exe" >/dev/null
check "the setup verifies" "$ZQ" verify "$SETUP"

WIN_USER=$(wine cmd /c echo %USERNAME% 2>/dev/null | tr -d '\r')
INST="$WINEPREFIX/drive_c/Program Files/Demo Product"
reg_value() {  # key value -> data
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" 'index($0, name) && /REG_SZ/ { sub(/.*REG_SZ[ \t]+/, ""); print }'
}

code=0
(cd "$WORK" && wine DemoSetup.exe /S "/LOG=Z:$WORK/install.txt") || code=$?
check "install exit code 0" test "$code" = 0
check "the payload is installed byte for byte" same_tree "$WORK/demo/payload" "$INST" docs/part0/file000.txt $DEMO_ARCHIVES
check_demo_archives "$ZQ" "$INST" "$WORK/demo" "$WORK/archives"
check "copyfile" cmp -s "$INST/demo.cfg" "$INST/saves/default.cfg"
check "delete" test ! -e "$INST/docs/part0/file000.txt"
check "the conditional group stays out" test ! -e "$INST/HQ/quality.cfg"
check "registry value with the folder expanded" test "$(reg_value 'HKCU\Software\zqsetup Demo\Demo Product' InstallDir)" = 'C:\Program Files\Demo Product'
check "uninstall registration" test "$(reg_value 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Demo Product' UninstallString)" = 'C:\Program Files\Demo Product\Demo_Uninstall.exe'
check "shortcut file" test -n "$(find "$WINEPREFIX/drive_c/users" -name 'Demo Product.lnk' 2>/dev/null)"
check "the program was run" grep -q 'started C:\\windows\\system32\\cmd.exe' "$WORK/install.txt"
check "the uninstaller is a setup of mode 1" bash -c "'$ZQ' info '$INST/Demo_Uninstall.exe' | grep -q 'mode: 1'"

echo "my own notes" > "$INST/saves/notes.txt"
code=0
wine "C:\\Program Files\\Demo Product\\Demo_Uninstall.exe" /S "/LOG=Z:$WORK/uninstall.txt" || code=$?
check "uninstall exit code 0" test "$code" = 0
for _ in $(seq 1 40); do [ -e "$INST/Demo_Uninstall.exe" ] || break; sleep 0.5; done
check "the user's file stays" test -f "$INST/saves/notes.txt"
check "only the user's file stays" test "$(find "$INST" -type f | wc -l)" = 1
check "the uninstaller is gone (finaliser)" test ! -e "$INST/Demo_Uninstall.exe"
check "the shortcut is gone" test -z "$(find "$WINEPREFIX/drive_c/users" -name 'Demo Product.lnk' 2>/dev/null)"
check "registry values are gone" test -z "$(reg_value 'HKCU\Software\zqsetup Demo\Demo Product' InstallDir)"
check "the registration is gone" test -z "$(reg_value 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Demo Product' DisplayName)"
# The finaliser's own folder goes a moment after it has ended.
for _ in $(seq 1 30); do ls -d "$WINEPREFIX/drive_c/users/$WIN_USER/Temp/zqsetup-"* >/dev/null 2>&1 || break; sleep 0.5; done
check "nothing of the finaliser is left in the temporary folder" test -z "$(ls -d "$WINEPREFIX/drive_c/users/$WIN_USER/Temp/zqsetup-"* 2>/dev/null)"
finish
