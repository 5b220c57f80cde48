#!/usr/bin/env bash
# 64-bit Windows and install scopes under Wine. With the 32-bit engine, in a 64-bit prefix an x64
# setup writes System32, Program Files and the 64-bit registry view, where an x86 one is
# redirected to SysWOW64, Program Files (x86) and WOW6432Node as before; in a 32-bit prefix an
# x64 setup is refused with exit code 3. The 64-bit engine has no redirection: whatever the
# script's architecture it writes the machine's own folders and view, and $PROGRAMFILES32 names
# Program Files (x86). Each uninstaller removes its own. Per-machine and per-user setups put
# their shortcut, folder and Add/Remove entry where their scope says (in the engine's prefix).
# usage: wine_machines.sh SOURCE_DIR WINDOWS_BUILD_DIR HOST_BUILD_DIR
SOURCE_DIR=$(cd "$1" && pwd)
BUILD_DIR=$(cd "$2" && pwd)
HOST_DIR=$(cd "$3" && pwd)
. "$SOURCE_DIR/tests/e2e/e2e_common.sh"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WORK="$BUILD_DIR/machines"
case "$WORK" in "$BUILD_DIR"/*) rm -rf -- "$WORK" ;; *) exit 2 ;; esac
ENGINE64=no
[ "$ZQ_WINE_ARCH" = win64 ] && ENGINE64=yes
# The 32-bit engine's tree has no 64-bit template: its 64-bit prefix (1.3 GB) serves this test
# alone, made in the work folder and removed with its template when every check passed. The
# 64-bit engine's tree clones its own template into the work folder: the checks stop the
# prefix's server again and again, which must not end the programs of tests beside it.
PREFIX32="$WORK/wineprefix32" PREFIX64="$WORK/wineprefix64"
TEMPLATES64="$WORK/wine-templates"
[ "$ENGINE64" = yes ] && TEMPLATES64="$BUILD_DIR/wine-templates"
use_prefix() {  # win32|win64
  if [ "$1" = win64 ]; then
    export WINEPREFIX=$PREFIX64
    [ -f "$WINEPREFIX/system.reg" ] || make_wine_prefix "$WINEPREFIX" win64 "$TEMPLATES64"
  else
    export WINEPREFIX=$PREFIX32
    [ -f "$WINEPREFIX/system.reg" ] || make_wine_prefix "$WINEPREFIX" win32 "$BUILD_DIR/wine-templates"
  fi
}
stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
stop_both() {
  local p
  for p in "$PREFIX64" "$PREFIX32"; do [ -d "$p" ] && WINEPREFIX=$p wineserver -k >/dev/null 2>&1 || true; done
}
trap stop_both EXIT
make_setup() {  # name, script lines...
  local name=$1
  shift
  mkdir -p "$WORK/$name/payload" "$WORK/out-$name"
  printf 'installed by %s' "$name" >"$WORK/$name/payload/zq-$name.txt"
  printf '%s\n' "name \"zq machines $name\"" "outfile Setup.exe" 'uninstallpages uninstall' 'language English' \
    'uninstalllanguage English' 'uninstalllogload $INSTDIR' "$@" >"$WORK/$name/setup.zqs"
  "$HOST_DIR/zq" build "$WORK/$name/setup.zqs" -o "$WORK/out-$name/Setup.exe" --stub "$BUILD_DIR/zqsetup.exe" >/dev/null
}
run_setup() {  # name [switches] -> exit code in $code
  local name=$1
  shift
  code=0
  (cd "$WORK/out-$name" && wine Setup.exe /S "$@") >/dev/null 2>&1 || code=$?
}
for arch in x86 x64; do
  make_setup "$arch" "architecture $arch" "installdir \"\$PROGRAMFILES\\zq machines $arch\"" 'file payload' \
    "copyfile \"\$INSTDIR\\zq-$arch.txt\" \"C:\\windows\\system32\\zq-machines-$arch.txt\"" \
    "writeregstr HKLM \"Software\\zq machines $arch\" Where \"\$INSTDIR\"" \
    "writeregstr HKLM \"Software\\zq machines $arch\" Programs32 \"\$PROGRAMFILES32\""
done
make_setup machine 'scope machine' 'installdir "$PROGRAMFILES\zq machines machine"' 'file payload' \
  'createshortcut "$SMPROGRAMS\zq machines machine.lnk" "$INSTDIR\zq-machine.txt" ""'
make_setup user 'scope user' 'file payload' \
  'createshortcut "$SMPROGRAMS\zq machines user.lnk" "$INSTDIR\zq-user.txt" ""' \
  'writeregstr HKCU "Software\zq machines user" Where "$INSTDIR"'

# Registry keys as the prefix stores them (written out when the server stops).
has_key() {  # file, key as regedit writes it
  stop_wine
  grep -qiF "[$2]" "$WINEPREFIX/$1"
}
has_value() {  # file, key as regedit writes it, value name
  stop_wine
  # Through the environment: awk -v would take the key's backslashes for escapes.
  K="[$2]" V="\"$3\"=" awk 'index(tolower($0), tolower(ENVIRON["K"])) == 1 { s = 1; next } /^\[/ { s = 0 }
    s && index($0, ENVIRON["V"]) == 1 { f = 1 } END { exit !f }' "$WINEPREFIX/$1"
}
UNINSTALL='Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall'

use_prefix win64
C="$WINEPREFIX/drive_c"
rm -f -- "$C/windows/system32/zq-machines-"*.txt "$C/windows/syswow64/zq-machines-"*.txt
for arch in x86 x64; do
  run_setup "$arch"
  check "$arch: installs in a 64-bit prefix" test "$code" = 0
done
reg_data() {  # key value -> data, through the 64-bit registry tool
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" 'index($0, name) && /REG_SZ/ { sub(/.*REG_SZ[ \t]+/, ""); print }'
}
if [ "$ENGINE64" = yes ]; then
  # One view for every script: the 64-bit engine has none other.
  for arch in x86 x64; do
    check "$arch on the 64-bit engine: the installation folder is the 64-bit Program Files" \
      test -f "$C/Program Files/zq machines $arch/zq-$arch.txt"
    check "$arch on the 64-bit engine: System32 stays System32" \
      test -f "$C/windows/system32/zq-machines-$arch.txt" -a ! -e "$C/windows/syswow64/zq-machines-$arch.txt"
    check "$arch on the 64-bit engine: the value is in the 64-bit view" has_value system.reg "Software\\\\zq machines $arch" Where
    check "$arch on the 64-bit engine: \$PROGRAMFILES32 is Program Files (x86)" \
      test "$(reg_data "HKLM\\Software\\zq machines $arch" Programs32)" = 'C:\Program Files (x86)\'
    check "$arch on the 64-bit engine: the Add/Remove entry is in the 64-bit view" has_key system.reg "$UNINSTALL\\\\zq machines $arch"
  done
  check "the 64-bit engine writes nothing to WOW6432Node" bash -c "! grep -qiF '\\Wow6432Node\\\\zq machines' '$WINEPREFIX/system.reg' && ! grep -qiF 'Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\zq machines' '$WINEPREFIX/system.reg'"
  for arch in x64 x86; do
    folder="$C/Program Files/zq machines $arch"
    code=0; wine "$folder/Uninstall.exe" /S >/dev/null 2>&1 || code=$?
    for _ in $(seq 1 50); do [ -e "$folder/Uninstall.exe" ] || break; sleep 0.2; done
    check "$arch on the 64-bit engine: uninstalls" test "$code" = 0
    check "$arch on the 64-bit engine: its files are gone" test ! -e "$folder/zq-$arch.txt"
    check "$arch on the 64-bit engine: its value and entry are gone" bash -c \
      "$(declare -f has_key has_value stop_wine); ! has_value system.reg 'Software\\\\zq machines $arch' Where && ! has_key system.reg '$UNINSTALL\\\\zq machines $arch'"
  done
  rm -f -- "$C/windows/system32/zq-machines-x64.txt" "$C/windows/system32/zq-machines-x86.txt"
  stop_wine
else
  check "x64: the installation folder is the 64-bit Program Files" test -f "$C/Program Files/zq machines x64/zq-x64.txt"
  check "x86: the installation folder is Program Files (x86)" test -f "$C/Program Files (x86)/zq machines x86/zq-x86.txt"
  check "x64: System32 stays System32" test -f "$C/windows/system32/zq-machines-x64.txt" -a ! -e "$C/windows/syswow64/zq-machines-x64.txt"
  check "x86: System32 is SysWOW64" test -f "$C/windows/syswow64/zq-machines-x86.txt" -a ! -e "$C/windows/system32/zq-machines-x86.txt"
  check "x64: the value is in the 64-bit view" has_value system.reg 'Software\\zq machines x64' Where
  check "x64: and not in WOW6432Node" bash -c "! grep -qiF '[Software\\\\Wow6432Node\\\\zq machines x64]' '$WINEPREFIX/system.reg'"
  check "x86: the value is in WOW6432Node" has_value system.reg 'Software\\Wow6432Node\\zq machines x86' Where
  check "x64: the Add/Remove entry is in the 64-bit view" has_key system.reg "$UNINSTALL\\\\zq machines x64"
  check "x86: the Add/Remove entry is in WOW6432Node" has_key system.reg "Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\zq machines x86"
  for arch in x64 x86; do
    folder="$C/Program Files/zq machines $arch"
    [ "$arch" = x86 ] && folder="$C/Program Files (x86)/zq machines $arch"
    code=0; wine "$folder/Uninstall.exe" /S >/dev/null 2>&1 || code=$?
    for _ in $(seq 1 50); do [ -e "$folder/Uninstall.exe" ] || break; sleep 0.2; done
    check "$arch: uninstalls" test "$code" = 0
    check "$arch: its files are gone" test ! -e "$folder/zq-$arch.txt"
  done
  check "x64: the uninstaller removed the 64-bit value and entry" bash -c \
    "$(declare -f has_key has_value stop_wine); ! has_value system.reg 'Software\\\\zq machines x64' Where && ! has_key system.reg '$UNINSTALL\\\\zq machines x64'"
  check "x86: the uninstaller removed the WOW6432Node value and entry" bash -c \
    "$(declare -f has_key has_value stop_wine); ! has_value system.reg 'Software\\\\Wow6432Node\\\\zq machines x86' Where && ! has_key system.reg 'Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\zq machines x86'"
  rm -f -- "$C/windows/system32/zq-machines-x64.txt" "$C/windows/syswow64/zq-machines-x86.txt"
  stop_wine
fi

if [ "$ENGINE64" = yes ]; then
  # A 64-bit program does not start on 32-bit Windows at all: the scopes are checked in the 64-bit prefix.
  use_prefix win64
else
  use_prefix win32
  C="$WINEPREFIX/drive_c"
  run_setup x64 "/LOG=Z:$WORK/x64-on-win32.txt"
  check "x64 in a 32-bit prefix is refused with exit code 3" test "$code" = 3
  check "its log says why" grep -qF 'is for 64-bit Windows' "$WORK/x64-on-win32.txt"
  check "and nothing was installed" test ! -e "$C/Program Files/zq machines x64"
fi
C="$WINEPREFIX/drive_c"

WIN_USER=$(wine cmd /c echo %USERNAME% 2>/dev/null | tr -d '\r')
USER_DIR="$C/users/$WIN_USER"
run_setup machine
check "machine: installs" test "$code" = 0
check "machine: the shortcut is in all users' Start menu" test -f "$C/ProgramData/Microsoft/Windows/Start Menu/Programs/zq machines machine.lnk"
check "machine: and not in the user's" test ! -e "$USER_DIR/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/zq machines machine.lnk"
check "machine: the log records it under its own macro" bash -c \
  "'$HOST_DIR/zq' log '$C/Program Files/zq machines machine/install.log' | grep -qF '\$COMMONSMPROGRAMS\\zq machines machine.lnk'"
check "machine: the Add/Remove entry is in HKLM" has_key system.reg "$UNINSTALL\\\\zq machines machine"
run_setup user
check "user: installs" test "$code" = 0
check "user: below the user's local application data" test -f "$USER_DIR/AppData/Local/Programs/zq machines user/zq-user.txt"
check "user: the shortcut is in the user's Start menu" test -f "$USER_DIR/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/zq machines user.lnk"
check "user: the Add/Remove entry is in HKCU" has_key user.reg "$UNINSTALL\\\\zq machines user"
check "user: and not in HKLM" bash -c "! grep -qiF '[$UNINSTALL\\\\zq machines user]' '$WINEPREFIX/system.reg'"
check "zq info names the architecture" bash -c "'$HOST_DIR/zq' info '$WORK/out-x64/Setup.exe' | grep -qx 'architecture: x64'"
check "zq info names the scope" bash -c "'$HOST_DIR/zq' info '$WORK/out-user/Setup.exe' | grep -qx 'scope: user'"
check "user: the setup asks for no elevation" bash -c "'$HOST_DIR/zq' info '$WORK/out-user/Setup.exe' | grep -qx 'execution_level: user'"
code=0; wine "$C/Program Files/zq machines machine/Uninstall.exe" /S >/dev/null 2>&1 || code=$?
check "machine: uninstalls, shortcut and entry with it" test "$code" = 0 -a ! -e "$C/ProgramData/Microsoft/Windows/Start Menu/Programs/zq machines machine.lnk"
code=0; wine "$USER_DIR/AppData/Local/Programs/zq machines user/Uninstall.exe" /S >/dev/null 2>&1 || code=$?
check "user: uninstalls, shortcut with it" test "$code" = 0 -a ! -e "$USER_DIR/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/zq machines user.lnk"
check "machine: its entry is gone" bash -c "$(declare -f has_key stop_wine); ! has_key system.reg '$UNINSTALL\\\\zq machines machine'"
check "user: its entry is gone" bash -c "$(declare -f has_key stop_wine); ! has_key user.reg '$UNINSTALL\\\\zq machines user'"
if [ "$FAILURES" -eq 0 ]; then
  stop_both
  case "$WORK" in "$BUILD_DIR"/machines) rm -rf -- "$WORK/wineprefix64" "$WORK/wineprefix32" "$WORK/wine-templates" ;; esac
fi
finish
