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
  "$ZQ" build "$WORK/$name/setup.zqs" -o "$WORK/$name.exe" --stub "$BUILD_DIR/zqsetup" >"$WORK/$name.build.txt" 2>&1
}
run() {  # NAME -> the exit code, the log in NAME.log.txt
  local code=0
  (cd "$WORK" && "./$1.exe" /S "/LOG=$WORK/$1.log.txt") >/dev/null 2>&1 || code=$?
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
finish
