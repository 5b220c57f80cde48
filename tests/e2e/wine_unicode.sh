#!/usr/bin/env bash
# Names beyond ASCII (German, Greek, Japanese, an emoji) in files, folders, the product name,
# registry keys and values, a shortcut and the uninstall log: installed and uninstalled under two
# Wine locales whose ANSI code pages differ (1252 and 932), with the same result in both.
# usage: wine_unicode.sh SOURCE_DIR WINDOWS_BUILD_DIR HOST_BUILD_DIR
SOURCE_DIR=$(cd "$1" && pwd)
BUILD_DIR=$(cd "$2" && pwd)
HOST_DIR=$(cd "$3" && pwd)
. "$SOURCE_DIR/tests/e2e/e2e_common.sh"

# A prefix of its own: the locale changes between runs, which must not disturb other tests.
export WINEPREFIX=$BUILD_DIR/wineprefix-unicode WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] || make_wine_prefix "$WINEPREFIX" "$ZQ_WINE_ARCH" "$BUILD_DIR/wine-templates"
WORK="$BUILD_DIR/unicode"
case "$WORK" in "$BUILD_DIR"/*) rm -rf -- "$WORK" ;; *) exit 2 ;; esac
mkdir -p "$WORK/payload/Ordner ä" "$WORK/out"

# The two locales, compiled into the build tree (no system-wide change, no root).
export LOCPATH="$BUILD_DIR/locales"
mkdir -p "$LOCPATH"
for l in en_US ja_JP; do
  [ -d "$LOCPATH/$l.UTF-8" ] || localedef -i "$l" -f UTF-8 "$LOCPATH/$l.UTF-8" >/dev/null 2>&1 || true
done

NAMES=("Größe.txt" "Ελληνικά.txt" "日本語のファイル.txt" "😀.txt" "Ordner ä/ß.txt")
for n in "${NAMES[@]}"; do printf 'the file %s' "$n" >"$WORK/payload/$n"; done
INST_WIN='C:\zq-ünïcode-テスト'
INST="$WINEPREFIX/drive_c/zq-ünïcode-テスト"
cat >"$WORK/setup.zqs" <<SCRIPT
name "Prödukt Ω 製品 😀"
shortname "zq ünïcode テスト"
outfile UniSetup.exe
installdir "$INST_WIN"
prefix Uni
uninstallpages uninstall
language English
uninstalllanguage English
uninstalllogload \$INSTDIR Uni_
writeregstr HKCU "Software\\zq unicode test\\Schlüssel 鍵" "Größe" "Ωμέγα 日本 😀"
file payload
createshortcut "\$INSTDIR\\Verknüpfung 日本.lnk" "\$INSTDIR\\Größe.txt" ""
SCRIPT
"$HOST_DIR/zq" build "$WORK/setup.zqs" -o "$WORK/out/UniSetup.exe" --stub "$BUILD_DIR/zqsetup.exe" >"$WORK/build.txt" 2>&1
check "zq build takes names beyond ASCII" test -s "$WORK/out/UniSetup.exe"
check "zq list prints them in UTF-8" bash -c "'$HOST_DIR/zq' list '$WORK/out/UniSetup.exe' | grep -qF '日本語のファイル.txt'"
check "zq info prints the product's name in UTF-8" bash -c "'$HOST_DIR/zq' info '$WORK/out/UniSetup.exe' | grep -qF 'Prödukt Ω 製品 😀'"
check "zq script prints the script's text in UTF-8" bash -c "'$HOST_DIR/zq' script '$WORK/out/UniSetup.exe' | grep -qF 'Schlüssel 鍵'"

# Exports a registry key as UTF-8 text (regedit writes UTF-16).
export_key() {  # key, file
  rm -f "$2.utf16"
  wine regedit /E "Z:$2.utf16" "$1" >/dev/null 2>&1 || true
  [ -s "$2.utf16" ] && iconv -f UTF-16 -t UTF-8 "$2.utf16" | tr -d '\r' >"$2" || : >"$2"
}
UNINSTALL_KEY='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\zq ünïcode テスト'
listing=()
for pair in en_US:1252 ja_JP:932; do
  locale=${pair%%:*} acp=${pair##*:}
  wineserver -k >/dev/null 2>&1 || true
  export LANG=$locale.UTF-8 LC_ALL=$locale.UTF-8
  reported=$(wine reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null | tr -d '\r' |
             awk '$1 == "ACP" {print $NF}')
  if [ "$reported" != "$acp" ]; then
    check "Wine runs $locale with ANSI code page $acp (it reports '$reported')" false
    continue
  fi
  code=0; (cd "$WORK/out" && wine UniSetup.exe /S "/LOG=Z:$WORK/install-$locale.txt") >/dev/null 2>&1 || code=$?
  check "$locale: the setup installs" test "$code" = 0
  for n in "${NAMES[@]}"; do
    check "$locale: $n is installed under its own name" grep -qxF "the file $n" "$INST/$n"
  done
  check "$locale: the shortcut has its name" test -s "$INST/Verknüpfung 日本.lnk"
  check "$locale: the readable log names the files as they are" grep -qF 'Ελληνικά.txt' "$WORK/install-$locale.txt"
  check "$locale: the uninstall log keeps them" bash -c "'$HOST_DIR/zq' log '$INST/Uni_install.log' | grep -qF '😀.txt'"
  export_key 'HKEY_CURRENT_USER\Software\zq unicode test' "$WORK/reg-$locale.txt"
  check "$locale: the registry key and value keep their names and text" \
    grep -qF '"Größe"="Ωμέγα 日本 😀"' "$WORK/reg-$locale.txt"
  check "$locale: ... under the key's own name" grep -qF 'Schlüssel 鍵]' "$WORK/reg-$locale.txt"
  export_key "$UNINSTALL_KEY" "$WORK/arp-$locale.txt"
  check "$locale: Add/Remove shows the product's short name under its own key" grep -qF '"DisplayName"="zq ünïcode テスト"' "$WORK/arp-$locale.txt"
  listing+=("$( (cd "$INST" && find . | LC_ALL=C sort | md5sum) 2>/dev/null || echo "$locale: none")")

  code=0; wine "$INST_WIN\\Uni_Uninstall.exe" /S "/LOG=Z:$WORK/uninstall-$locale.txt" >/dev/null 2>&1 || code=$?
  check "$locale: the uninstaller ends with 0" test "$code" = 0
  for _ in $(seq 1 40); do [ -e "$INST" ] || break; sleep 0.5; done
  check "$locale: the installation folder is gone" test ! -e "$INST"
  export_key 'HKEY_CURRENT_USER\Software\zq unicode test' "$WORK/reg-after-$locale.txt"
  check "$locale: the registry value is gone" bash -c "! grep -qF 'Größe' '$WORK/reg-after-$locale.txt'"
  export_key "$UNINSTALL_KEY" "$WORK/arp-after-$locale.txt"
  check "$locale: the Add/Remove entry is gone" bash -c "! grep -q DisplayName '$WORK/arp-after-$locale.txt'"
done
check "both locales installed the same tree" test "${#listing[@]}" = 2 -a "${listing[0]:-a}" = "${listing[1]:-b}"

# A folder deeper than MAX_PATH: installed and uninstalled through the extended-length form.
DEEP_WIN='C:\zq-long' DEEP="$WINEPREFIX/drive_c/zq-long"
for i in 1 2 3 4 5; do
  DEEP_WIN+="\\Ordner $i mit einem recht langen Namen, damit der Pfad länger wird"
  DEEP+="/Ordner $i mit einem recht langen Namen, damit der Pfad länger wird"
done
check "the deep folder is longer than MAX_PATH" test "${#DEEP_WIN}" -gt 300
code=0; (cd "$WORK/out" && wine UniSetup.exe /S "/LOG=Z:$WORK/deep.txt" "/D=$DEEP_WIN") >/dev/null 2>&1 || code=$?
check "an install into it ends with 0" test "$code" = 0
check "its files are there" grep -qxF "the file Ordner ä/ß.txt" "$DEEP/Ordner ä/ß.txt"
code=0; wine "$DEEP_WIN\\Uni_Uninstall.exe" /S >/dev/null 2>&1 || code=$?
check "its uninstall ends with 0" test "$code" = 0
for _ in $(seq 1 40); do [ -e "$DEEP" ] || break; sleep 0.5; done
check "and leaves nothing" test ! -e "$DEEP"
case "$WINEPREFIX/drive_c/zq-long" in "$BUILD_DIR"/wineprefix-unicode/drive_c/zq-long) rm -rf -- "$WINEPREFIX/drive_c/zq-long" ;; esac
wineserver -k >/dev/null 2>&1 || true
finish
