#!/usr/bin/env bash
# Setups that decide, under Wine where the behaviour is Windows': a condition on a program's full
# 32-bit exit code and on the real registry, a setup and uninstaller signed by zq build --sign
# (osslsigncode), the signed uninstaller finding its own folder, and the refusal to downgrade.
# usage: wine_decisions.sh SOURCE_DIR WINDOWS_BUILD_DIR HOST_BUILD_DIR
SOURCE_DIR=$(cd "$1" && pwd)
BUILD_DIR=$(cd "$2" && pwd)
HOST_DIR=$(cd "$3" && pwd)
. "$SOURCE_DIR/tests/e2e/e2e_common.sh"

export WINEPREFIX=${WINEPREFIX:-$BUILD_DIR/wineprefix} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] || make_wine_prefix "$WINEPREFIX" "$ZQ_WINE_ARCH" "$BUILD_DIR/wine-templates"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

WORK="$BUILD_DIR/wine-decisions"
case "$WORK" in "$BUILD_DIR"/*) rm -rf -- "$WORK" ;; *) exit 2 ;; esac
INST="$WINEPREFIX/drive_c/zq-decisions-test"
case "$INST" in "$WINEPREFIX"/drive_c/zq-decisions-test) rm -rf -- "$INST" ;; esac
mkdir -p "$WORK"
reg_value() {  # key value -> data
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" 'index($0, name) && /REG_SZ/ { sub(/.*REG_SZ[ \t]+/, ""); print }'
}
KEY='HKCU\Software\zq decisions test'
ENTRY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\zq decisions test'

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=zqsetup test signer" \
  -keyout "$WORK/signer.key" -out "$WORK/signer.pem" >/dev/null 2>&1
SIGN="osslsigncode sign -certs '$WORK/signer.pem' -key '$WORK/signer.key' -n 'zq decisions test' -h sha256 -in {in} -out {out} >/dev/null"

make_setup() {  # version [--sign]
  mkdir -p "$WORK/v$1/payload" "$WORK/out$1"
  echo "version $1" >"$WORK/v$1/payload/data.txt"
  printf '%s\n' 'name "zq decisions test"' 'outfile DecideSetup.exe' 'installdir "C:\zq-decisions-test"' \
    "version $1" 'prefix Decide' 'uninstallpages uninstall' 'uninstalllogload $INSTDIR Decide' 'file payload' \
    'execute cmd.exe "/c exit 3010"' 'ifexitcode 3010 restart' "writeregstr HKCU \"Software\\zq decisions test\" code other" \
    'goto registry' ':restart' "writeregstr HKCU \"Software\\zq decisions test\" code 3010" ':registry' \
    'ifregexists HKLM "Software\Microsoft\Windows NT\CurrentVersion" ProductName windows' 'goto end' ':windows' \
    "writeregstr HKCU \"Software\\zq decisions test\" windows yes" ':end' \
    'ifmachine x64 x64' 'var machine' 'set machine other' 'goto machine' ':x64' 'set machine x64' ':machine' \
    "writeregstr HKCU \"Software\\zq decisions test\" machine \"\$machine\"" 'ifwindows >= 6.1 seven' 'failure' \
    ':seven' >"$WORK/v$1/setup.zqs"
  "$HOST_DIR/zq" build "$WORK/v$1/setup.zqs" -o "$WORK/out$1/DecideSetup.exe" --stub "$BUILD_DIR/zqsetup.exe" \
    ${2:+--sign "$SIGN"} >"$WORK/build$1.txt" 2>&1
}
make_setup 2.0 --sign
make_setup 1.0
check "the signed setup is signed" osslsigncode verify -in "$WORK/out2.0/DecideSetup.exe" -CAfile "$WORK/signer.pem"

code=0
(cd "$WORK/out2.0" && wine DecideSetup.exe /S "/LOG=Z:$WORK/install.txt") >/dev/null 2>&1 || code=$?
check "version 2.0 installs" test "$code" = 0
check "the exit code 3010 is matched whole" test "$(reg_value "$KEY" code)" = 3010
check "a value of the real registry is found" test "$(reg_value "$KEY" windows)" = yes
check "ifmachine knows the machine's own processor" test "$(reg_value "$KEY" machine)" = x64
# What the kernel says, as the system's own command interpreter says it ("Microsoft Windows 6.1.7601").
windows=$(wine cmd /c ver 2>/dev/null | tr -d '\r' | grep -o '[0-9]*\.[0-9]*\.[0-9]*' | tail -n 1)
check "ifwindows reads the version the system reports ($windows)" grep -qF "ifwindows $windows >= 6.1: yes" "$WORK/install.txt"
check "the installed uninstaller carries the signature" \
  osslsigncode verify -in "$INST/Decide_Uninstall.exe" -CAfile "$WORK/signer.pem"
check "the entry's version" test "$(reg_value "$ENTRY" DisplayVersion)" = 2.0

code=0
(cd "$WORK/out1.0" && wine DecideSetup.exe /S "/LOG=Z:$WORK/downgrade.txt") >/dev/null 2>&1 || code=$?
check "version 1.0 is refused over 2.0 with exit code 3" test "$code" = 3
check "the log says why" grep -qF 'A newer version of zq decisions test (2.0) is installed' "$WORK/downgrade.txt"
check "version 2.0 stays" test "$(cat "$INST/data.txt" | tr -d '\r')" = "version 2.0"

code=0
wine 'C:\zq-decisions-test\Decide_Uninstall.exe' /S "/LOG=Z:$WORK/uninstall.txt" >/dev/null 2>&1 || code=$?
check "the signed uninstaller uninstalls from its own folder" test "$code" = 0
for _ in $(seq 1 40); do [ -e "$INST" ] || break; sleep 0.5; done
check "nothing is left" test ! -e "$INST"
check "the registration is gone" bash -c "! wine reg query '$ENTRY' >/dev/null 2>&1"
check "the values are gone" test -z "$(reg_value "$KEY" code)"
finish
