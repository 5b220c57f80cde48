#!/usr/bin/env bash
# End to end under Wine: the demo setup built for win32 is installed silently into a fresh
# Wine prefix, checked on disk and in the real registry, and uninstalled.
# usage: wine_e2e.sh SOURCE_DIR WINDOWS_BUILD_DIR HOST_BUILD_DIR
SOURCE_DIR=$(cd "$1" && pwd)
BUILD_DIR=$(cd "$2" && pwd)
HOST_DIR=$(cd "$3" && pwd)
. "$SOURCE_DIR/tests/e2e/e2e_common.sh"

WORK="$BUILD_DIR/e2e-wine"
make_demo_workspace "$WORK"
export WINEPREFIX="$WORK/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
make_wine_prefix "$WINEPREFIX" "$ZQ_WINE_ARCH" "$BUILD_DIR/wine-templates"
ZQ="$HOST_DIR/zq"
SETUP="$WORK/DemoSetup.exe"
# Shipped setups are signed after the build; a self-signed certificate stands in for a publisher's.
mkdir -p "$WORK/unsigned"
"$ZQ" build "$WORK/demo/setup.zqs" -o "$WORK/unsigned/DemoSetup.exe" --stub "$BUILD_DIR/zqsetup.exe" >/dev/null
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=zqsetup test signer" \
  -keyout "$WORK/signer.key" -out "$WORK/signer.pem" >/dev/null 2>&1
osslsigncode sign -certs "$WORK/signer.pem" -key "$WORK/signer.key" -n "Demo Product" -h sha256 \
  -in "$WORK/unsigned/DemoSetup.exe" -out "$SETUP" >/dev/null
check "the signature is accepted" osslsigncode verify -in "$SETUP" -CAfile "$WORK/signer.pem"
check "the signed setup verifies" "$ZQ" verify "$SETUP"
# The setup program carries the script's version resource, manifest and icon.
INFO=$("$ZQ" info "$SETUP")
check "the setup's version resource" grep -qx 'version: 2.1' <<<"$INFO"
check "the setup's publisher" grep -qx 'publisher: zqsetup Demo' <<<"$INFO"
check "the setup asks for administrator rights" grep -qx 'execution_level: admin' <<<"$INFO"
check "the setup has its icon" grep -qx 'icon: yes' <<<"$INFO"

WIN_USER=$(wine cmd /c echo %USERNAME% 2>/dev/null | tr -d '\r')
INST="$WINEPREFIX/drive_c/Program Files/Demo Product"
reg_value() {  # key value -> data
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" 'index($0, name) && /REG_SZ/ { sub(/.*REG_SZ[ \t]+/, ""); print }'
}
reg_dword() {  # key value -> data of a REG_DWORD, as reg prints it (0x...)
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" 'index($0, name) && /REG_DWORD/ { print $NF }'
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
ENTRY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Demo Product'
check "uninstall registration" test "$(reg_value "$ENTRY" UninstallString)" = '"C:\Program Files\Demo Product\Demo_Uninstall.exe"'
check "quiet uninstall" test "$(reg_value "$ENTRY" QuietUninstallString)" = '"C:\Program Files\Demo Product\Demo_Uninstall.exe" /S'
check "the entry's name and version" test "$(reg_value "$ENTRY" DisplayName)" = 'Demo Product 2.1'
check "the entry's version" test "$(reg_value "$ENTRY" DisplayVersion)" = '2.1'
check "the entry's publisher" test "$(reg_value "$ENTRY" Publisher)" = 'zqsetup Demo'
check "the entry's icon" test "$(reg_value "$ENTRY" DisplayIcon)" = 'C:\Program Files\Demo Product\Demo_Uninstall.exe'
check "NoModify and NoRepair are REG_DWORD 1" test "$(reg_dword "$ENTRY" NoModify) $(reg_dword "$ENTRY" NoRepair)" = '0x1 0x1'
check "EstimatedSize is a REG_DWORD" test -n "$(reg_dword "$ENTRY" EstimatedSize)"
check "shortcut file" test -n "$(find "$WINEPREFIX/drive_c/users" -name 'Demo Product.lnk' 2>/dev/null)"
check "the program was run" grep -q 'started C:\\windows\\system32\\cmd.exe' "$WORK/install.txt"
check "the default components: extras, not the manual" test -f "$INST/Extras/CREDITS.txt" -a ! -e "$INST/Manual"
check "a silent run starts no program after it" bash -c "! grep -q notepad '$WORK/install.txt'"
check "the uninstaller is a setup of mode 1" bash -c "'$ZQ' info '$INST/Demo_Uninstall.exe' | grep -q 'mode: 1'"
check "the uninstaller carries the setup's version resource" bash -c "'$ZQ' info '$INST/Demo_Uninstall.exe' | grep -qx 'version: 2.1'"
check "the uninstaller is not signed" bash -c "osslsigncode verify -in '$INST/Demo_Uninstall.exe' 2>&1 | grep -q 'No signature found'"

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
check "the registration is gone" bash -c "! wine reg query '$ENTRY' >/dev/null 2>&1"
# The finaliser's own folder goes a moment after it has ended.
for _ in $(seq 1 30); do ls -d "$WINEPREFIX/drive_c/users/$WIN_USER/Temp/zqsetup-"* >/dev/null 2>&1 || break; sleep 0.5; done
check "nothing of the finaliser is left in the temporary folder" test -z "$(ls -d "$WINEPREFIX/drive_c/users/$WIN_USER/Temp/zqsetup-"* 2>/dev/null)"
# Components on the command line: an unknown one is refused before anything is written.
code=0
(cd "$WORK" && wine DemoSetup.exe /S /COMPONENTS=manual,nosuch "/D=C:\\Picked") >/dev/null 2>&1 || code=$?
check "/COMPONENTS= with an unknown name is refused with exit code 3" test "$code" = 3
check "nothing was written for it" test ! -e "$WINEPREFIX/drive_c/Picked"
finish
