#!/usr/bin/env bash
# DLLs named like system ones, left beside a downloaded setup or its uninstaller, are never
# loaded: the programs import only known system DLLs and load the others from System32.
# usage: wine_planted_dll.sh SOURCE_DIR WINDOWS_BUILD_DIR HOST_BUILD_DIR PLANTED_DLL
SOURCE_DIR=$(cd "$1" && pwd)
BUILD_DIR=$(cd "$2" && pwd)
HOST_DIR=$(cd "$3" && pwd)
PLANTED=$4
. "$SOURCE_DIR/tests/e2e/e2e_common.sh"

# Known DLLs come from System32 whatever lies beside the program; any other import would not.
KNOWN=" advapi32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll "
OBJDUMP=i686-w64-mingw32-objdump
[ "$ZQ_WINE_ARCH" = win64 ] && OBJDUMP=x86_64-w64-mingw32-objdump
imports_only_known() {  # program
  local dll
  for dll in $($OBJDUMP -p "$1" | awk '/DLL Name:/ { print tolower($3) }'); do
    [[ $KNOWN == *" $dll "* ]] || { echo "$1 imports $dll" >&2; return 1; }
  done
}
check "zqsetup.exe imports only known DLLs" imports_only_known "$BUILD_DIR/zqsetup.exe"
check "zqfinalise.exe imports only known DLLs" imports_only_known "$BUILD_DIR/zqfinalise.exe"

# The unit tests' prefix (make.sh's); the test installs into a folder of its own and removes it.
export WINEPREFIX=${WINEPREFIX:-$BUILD_DIR/wineprefix} WINEDEBUG=-all
# Wine prefers its own DLLs even to one beside the program; native first, it takes a planted one
# as Windows would. Not version.dll, imm32.dll or shcore.dll: Wine's own user32 and shlwapi import
# them at start, before main, where Windows takes them from System32 as known DLLs' imports.
NAMES="comctl32 msimg32 uxtheme msftedit windowscodecs propsys bcrypt"
export WINEDLLOVERRIDES="mscoree,mshtml=;$(echo $NAMES | tr ' ' ',')=n,b"
[ -f "$WINEPREFIX/system.reg" ] || make_wine_prefix "$WINEPREFIX" "$ZQ_WINE_ARCH" "$BUILD_DIR/wine-templates"
plant() {  # folder
  local n
  mkdir -p "$1"
  for n in $NAMES; do cp "$PLANTED" "$1/$n.dll"; done
}
none_loaded() {  # folder
  ! ls "$1"/*.loaded >/dev/null 2>&1
}

WORK="$BUILD_DIR/planted-dll"
rm -rf "$WORK"
mkdir -p "$WORK/payload" "$WORK/Downloads"
printf 'a' >"$WORK/payload/a.txt"
printf '%s\n' 'name "Planted"' 'shortname "zq planted dll test"' 'outfile PlantedSetup.exe' \
  'installdir "C:\zq-planted-dll-test"' 'prefix Planted' 'uninstallpages uninstall' 'language English' \
  'uninstalllanguage English' 'file payload' >"$WORK/setup.zqs"
"$HOST_DIR/zq" build "$WORK/setup.zqs" -o "$WORK/Downloads/PlantedSetup.exe" --stub "$BUILD_DIR/zqsetup.exe" >/dev/null
plant "$WORK/Downloads"
code=0; (cd "$WORK/Downloads" && wine PlantedSetup.exe /S) >/dev/null 2>&1 || code=$?
check "the setup beside planted DLLs installs" test "$code" = 0
check "no DLL beside the setup was loaded" none_loaded "$WORK/Downloads"

INST="$WINEPREFIX/drive_c/zq-planted-dll-test"
plant "$INST"
code=0; (cd "$INST" && wine Planted_Uninstall.exe /S) >/dev/null 2>&1 || code=$?
check "the uninstaller beside planted DLLs uninstalls" test "$code" = 0
check "no DLL beside the uninstaller was loaded" none_loaded "$INST"

mkdir -p "$WORK/Temp"
cp "$BUILD_DIR/zqfinalise.exe" "$WORK/Temp/"
plant "$WORK/Temp"
code=0; (cd "$WORK/Temp" && wine zqfinalise.exe) >/dev/null 2>&1 || code=$?
check "the finaliser starts beside planted DLLs (exit 2 without its argument)" test "$code" = 2
check "no DLL beside the finaliser was loaded" none_loaded "$WORK/Temp"

# What the test put into the installation folder, named one by one; the finaliser removed the rest.
for _ in $(seq 1 20); do [ -e "$INST/Planted_Uninstall.exe" ] || break; sleep 0.5; done
for n in $NAMES; do rm -f "$INST/$n.dll" "$INST/$n.dll.loaded"; done
rmdir "$INST" 2>/dev/null || true
finish
