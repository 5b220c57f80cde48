#!/usr/bin/env bash
# Setups that decide, end to end on the host: the conditions on a program's exit code and on the
# registry, and the refusal to install over a newer version of the product.
# usage: host_decisions.sh SOURCE_DIR BUILD_DIR
SOURCE_DIR=$(cd "$1" && pwd)
BUILD_DIR=$(cd "$2" && pwd)
. "$SOURCE_DIR/tests/e2e/e2e_common.sh"

WORK="$BUILD_DIR/e2e-decisions"
case "$WORK" in "$BUILD_DIR"/*) ;; *) exit 2 ;; esac
rm -rf -- "$WORK"
mkdir -p "$WORK"
export ZQ_PREFIX="$WORK/prefix"
ZQ="$BUILD_DIR/zq"
HKCU=2147483649 HKLM=2147483650
reg() {  # root-handle key value -> data
  sqlite3 "$ZQ_PREFIX/system.db" "select cast(v.data as text) from vals v where v.root=$1 and cast(v.lpath as text)=lower('$2') and cast(v.lname as text)=lower('$3')"
}

# build NAME LINES...: a setup of the product "zq decisions" from the lines given.
build() {
  local name=$1
  shift
  mkdir -p "$WORK/$name"
  printf '%s\n' 'name "zq decisions"' "outfile $name.exe" 'installdir "C:\Decisions"' 'language English' \
    'prefix Decisions' 'uninstallpages uninstall' 'uninstalllanguage English' 'uninstalllogload $INSTDIR Decisions' \
    "$@" >"$WORK/$name/setup.zqs"
  "$ZQ" build "$WORK/$name/setup.zqs" -o "$WORK/$name.exe" --stub "$BUILD_DIR/zqsetup" ${SIGN:+--sign "$SIGN"} \
    >"$WORK/$name.build.txt" 2>&1
}
run() {  # NAME -> the exit code, the log in NAME.log.txt
  local code=0
  (cd "$WORK" && "./$1.exe" /S "/LOG=$WORK/$1.log.txt") >/dev/null 2>&1 || code=$?
  # Each setup carries the sanitized engine twice (60 MB) and runs once: two dozen of them
  # filled a CI machine's disk.
  rm -f -- "$WORK/$1.exe"
  echo "$code"
}

# Conditions: each setup writes "took" = yes when its condition jumped, no when it went on.
KEY='Software\zq decisions'
build marker "writeregstr HKCU \"$KEY\\marker\" Here 1"
check "a setup writes the marker key" test "$(run marker)" = 0
condition_cases=(
  # expected | lines before the condition | condition (its label is "took")
  'yes|execute Z:\bin\sh "-c ""exit 3"""|ifexitcode 3 took'
  'no|execute Z:\bin\sh "-c ""exit 3"""|ifexitcode 0 took'
  'yes|execute Z:\bin\sh "-c ""exit 0"""|ifexitcode 0x0 took'
  'no|execute C:\no-such-program.exe|ifexitcode 0 took'
  'yes||ifregexists HKCU "Software\zq decisions\marker" took'
  'yes||ifregexists HKCU "Software\zq decisions\marker" here took'
  'no||ifregexists HKCU "Software\zq decisions\marker" There took'
  'no||ifregexists HKLM "Software\zq decisions\marker" took'
)
n=0
for c in "${condition_cases[@]}"; do
  IFS='|' read -r expected before condition <<<"$c"
  n=$((n + 1))
  build "cond$n" "$before" "$condition" "writeregstr HKCU \"$KEY\" took no" 'goto end' ':took' \
    "writeregstr HKCU \"$KEY\" took yes" ':end'
  code=$(run "cond$n")
  check "$condition after \"$before\": exit code 0" test "$code" = 0
  check "$condition after \"$before\": $expected" test "$(reg $HKCU "$KEY" took)" = "$expected"
done
check "the exit code is logged" grep -qF 'ended with exit code 3' "$WORK/cond1.log.txt"
check "no condition created a key" test -z "$(reg $HKLM "$KEY\\marker" Here)"

# Downgrades: each setup of a version over what the one before it left.
ENTRY='SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\zq decisions'
downgrade_cases=(
  # setup | its lines | exit code | DisplayVersion after it
  'v2|version 2.0|0|2.0'
  'v1|version 1.9.9.9|3|2.0'
  'v2same|version 2.0.0.0|0|2.0.0.0'
  'v1allowed|version 1.0;allowdowngrade|0|1.0'
  'v10|version 10.0|0|10.0'
  'v9|version 9.99|3|10.0'
  'unversioned||0|'
  'v3|version 3|0|3'
)
for c in "${downgrade_cases[@]}"; do
  IFS='|' read -r name lines expected version <<<"$c"
  IFS=';' read -r -a extra <<<"$lines"
  build "$name" "${extra[@]}" "writeregstr HKCU \"$KEY\" setup $name"
  code=$(run "$name")
  check "$name ($lines): exit code $expected" test "$code" = "$expected"
  check "$name: the entry's version is $version" test "$(reg $HKLM "$ENTRY" DisplayVersion)" = "$version"
  if [ "$expected" = 3 ]; then
    check "$name: the log says why" grep -qF 'A newer version of zq decisions' "$WORK/$name.log.txt"
    check "$name: its script did not run" test "$(reg $HKCU "$KEY" setup)" != "$name"
  fi
done

# A per-user product registers in HKCU, and its older setup is refused from there.
USER_ENTRY='Software\Microsoft\Windows\CurrentVersion\Uninstall\zq decisions user'
build userv2 'shortname "zq decisions user"' 'scope user' 'version 2.0'
check "a per-user setup installs" test "$(run userv2)" = 0
check "and registers its version in HKCU" test "$(reg $HKCU "$USER_ENTRY" DisplayVersion)" = 2.0
build userv1 'shortname "zq decisions user"' 'scope user' 'version 1.0'
check "its older setup is refused (exit code 3)" test "$(run userv1)" = 3

# A per-user product without installdir goes below AppData\Local\Programs; its uninstall takes
# that folder too when the install made it (the finaliser, once the uninstaller is gone).
build userdir 'shortname "zq decisions userdir"' 'scope user'
sed -i '/^installdir/d' "$WORK/userdir/setup.zqs"
"$ZQ" build "$WORK/userdir/setup.zqs" -o "$WORK/userdir.exe" --stub "$BUILD_DIR/zqsetup" >/dev/null 2>&1
check "userdir: installs" test "$(run userdir)" = 0
PROGRAMS=$(find "$ZQ_PREFIX/drive_c/users" -maxdepth 4 -type d -path '*/AppData/Local/Programs' | head -n 1)
check "userdir: below the user's programs folder" test -f "$PROGRAMS/zq decisions userdir/Decisions_Uninstall.exe"
code=0
"$PROGRAMS/zq decisions userdir/Decisions_Uninstall.exe" /S >/dev/null 2>&1 || code=$?
for _ in $(seq 1 25); do [ -e "$PROGRAMS" ] || break; sleep 0.2; done
check "userdir: uninstalls" test "$code" = 0
check "userdir: the programs folder the install made goes with it" test ! -e "$PROGRAMS"
check "userdir: the user's own local folder stays" test -d "$(dirname "$PROGRAMS")"

# An uninstaller made at build time and carried (as --sign makes it; the host's programs take no
# signature, so the "signing" command copies): the setup writes it as it is, and it finds its
# folder and log from its own path.
INST="$ZQ_PREFIX/drive_c/Decisions"
mkdir -p "$WORK/signed/payload" && echo data >"$WORK/signed/payload/data.txt"
SIGN='cp {in} {out}' build signed 'version 11' 'file payload'
check "the signed setup carries its uninstaller" bash -c "'$ZQ' list '$WORK/signed.exe' | grep -q SignedUninstaller.exe"
"$ZQ" extract "$WORK/signed.exe" -o "$WORK/signed-entries" >/dev/null 2>&1
check "the signed setup installs" test "$(run signed)" = 0
check "the uninstaller written is the one carried, byte for byte" \
  cmp -s "$WORK/signed-entries/group-0/SignedUninstaller.exe" "$INST/Decisions_Uninstall.exe"
check "its record names no folder" bash -c "'$ZQ' info '$INST/Decisions_Uninstall.exe' | grep -qx 'install_dir: '"
code=0
"$INST/Decisions_Uninstall.exe" /S "/LOG=$WORK/signed-uninstall.txt" >/dev/null 2>&1 || code=$?
check "it uninstalls from its own folder" test "$code" = 0
for _ in $(seq 1 20); do [ -e "$INST" ] || break; sleep 0.2; done
check "and leaves nothing" test ! -e "$INST"
check "and unregisters" test -z "$(reg $HKLM "$ENTRY" DisplayVersion)"
check "a signing command that fails fails the build" bash -c \
  "! '$ZQ' build '$WORK/signed/setup.zqs' -o '$WORK/failed/signed.exe' --stub '$BUILD_DIR/zqsetup' --sign 'false {in} {out}' 2>'$WORK/failed.txt'"
check "and says where" grep -qF 'signing the uninstaller: the signing command ended with exit code 1' "$WORK/failed.txt"
check "and leaves no file behind" test -z "$(ls -A "$WORK/failed" 2>/dev/null)"

# Registry keys: the uninstall removes the keys the installation created once they are empty,
# never one that was there before it, nor one that holds what another program put there.
key_exists() {  # root-handle key
  test "$(sqlite3 "$ZQ_PREFIX/system.db" "select count(*) from keys where root=$1 and cast(lpath as text)=lower('$2')")" = 1
}
build keys-before 'writeregstr HKCU "Software\zq keys before" v 1' 'writeregstr HKCU "Software\zq keys other\a" v 1'
sed -i '/uninstallpages\|uninstalllanguage\|uninstalllogload/d' "$WORK/keys-before/setup.zqs"
"$ZQ" build "$WORK/keys-before/setup.zqs" -o "$WORK/keys-before.exe" --stub "$BUILD_DIR/zqsetup" >/dev/null 2>&1
check "keys: the keys that were there before are written" test "$(run keys-before)" = 0
build keys 'writeregstr HKCU "Software\zq keys before\sub\deeper" v 1' 'writeregstr HKCU "Software\zq keys new\a\b" v 1' \
  'writeregstr HKCU "Software\zq keys other\a\b" v 1' 'writeregstr_url zqkeysproto $INSTDIR\x.ico $INSTDIR\x.exe'
check "keys: the product installs" test "$(run keys)" = 0
check "keys: the log records the keys created" bash -c "'$ZQ' log '$INST/Decisions_install.log' | grep -qF '\"HKCU\" \"Software\\zq keys new\"'"
check "keys: but not those that were there" bash -c "! '$ZQ' log '$INST/Decisions_install.log' | grep -qF '\"Software\\zq keys before\"'"
# Another program adds a value to a key the product created.
build keys-user 'writeregstr HKCU "Software\zq keys other\a\b" user 1'
sed -i '/uninstallpages\|uninstalllanguage\|uninstalllogload\|^prefix/d' "$WORK/keys-user/setup.zqs"
sed -i 's/^name .*/name "zq keys user"/; s/^installdir .*/installdir "C:\\KeysUser"/' "$WORK/keys-user/setup.zqs"
"$ZQ" build "$WORK/keys-user/setup.zqs" -o "$WORK/keys-user.exe" --stub "$BUILD_DIR/zqsetup" >/dev/null 2>&1
check "keys: another program writes its value" test "$(run keys-user)" = 0
code=0
"$INST/Decisions_Uninstall.exe" /S "/LOG=$WORK/keys-uninstall.txt" >/dev/null 2>&1 || code=$?
check "keys: the uninstall ends with 0" test "$code" = 0
check "keys: a created chain goes whole" bash -c "$(declare -f key_exists); ! key_exists $HKCU 'Software\zq keys new'"
check "keys: created keys below an older one go" bash -c "$(declare -f key_exists); ! key_exists $HKCU 'Software\zq keys before\sub'"
check "keys: the older key stays with its value" key_exists $HKCU 'Software\zq keys before'
check "keys: a created key holding another program's value stays" key_exists $HKCU 'Software\zq keys other\a\b'
check "keys: the URL protocol's keys go" bash -c "$(declare -f key_exists); ! key_exists 2147483648 'zqkeysproto'"
check "keys: Software stays" key_exists $HKCU 'Software'
finish
