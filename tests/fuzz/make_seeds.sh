#!/usr/bin/env bash
# Regenerates the seed files (seed-*) of tests/fuzz/corpus: the binary formats written by the
# project's own writers (make_seeds.cpp, built in a host tree), the text formats taken from the
# stock tables, the stock pages and the demo. Reproducers (crash-*) are left as they are.
#   tests/fuzz/make_seeds.sh [BUILD_DIR]     (default build/host; configured with g++)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${1:-$ROOT/build/host}
CORPUS=$ROOT/tests/fuzz/corpus

cmake --build "$BUILD" --target fuzz_make_seeds >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/zq-seeds-XXXXXX")
trap 'rm -rf -- "$work"' EXIT
mkdir -p "$work/corpus" "$work/scratch"
"$BUILD/fuzz/fuzz_make_seeds" "$work/corpus" "$work/scratch"

# Language tables: the stock ones, as packed.
mkdir -p "$work/corpus/language"
cp "$ROOT/languages/English.wri" "$work/corpus/language/seed-english"
cp "$ROOT/languages/uninstall/German.wri" "$work/corpus/language/seed-uninstall-german"

# Page sets: the list, then each file as "name LF content", parts cut by NUL bytes.
page_seed() {  # folder output picture...
  local folder=$1 out=$2 name
  shift 2
  {
    cat "$folder/Pages.txt"
    for name in $(sed -n '/^\[Pages\]/,/^\[/p' "$folder/Pages.txt" | tr -d '\r' | grep -v '^\[' | grep -v '^$'); do
      printf '\0%s\n' "$name"
      cat "$folder/$name"
    done
    for name in "$@"; do printf '\0%s\nBM tiny picture' "$name"; done
  } >"$out"
}
mkdir -p "$work/corpus/pages"
page_seed "$ROOT/pages/install" "$work/corpus/pages/seed-install" side.bmp
page_seed "$ROOT/pages/uninstall" "$work/corpus/pages/seed-uninstall" side.bmp

# Scripts: the demo's, and a short one with labels, jumps and groups.
mkdir -p "$work/corpus/script"
cp "$ROOT/examples/demo/setup.zqs" "$work/corpus/script/seed-demo"
printf '%s\n' 'name "Small 1.0"' 'prefix Small' 'language English' 'pages install' 'uninstallpages uninstall' \
  ':top' 'iffileexists "$INSTDIR\a.txt" top done' 'file missing sub' 'zqpupdate missing secret "data\game.zqp"' \
  'goto done' ':done' 'message "<LANG21>"' >"$work/corpus/script/seed-small"

# The preprocessor: a script and the files it includes, cut by NUL bytes.
mkdir -p "$work/corpus/preprocessor"
{
  printf '%s\n' '!ifdef PRO' '!define EDITION Pro' '!else' '!define EDITION Free' '!endif' \
    'name "Demo ${EDITION}"' '!include a.zqs' ':${EDITION}' 'message "$${EDITION}"'
  printf '\0'
  printf '%s\n' '!ifndef SHARED' '!define SHARED' '!include b.zqs' '!endif' 'language English'
  printf '\0'
  printf '%s\n' '!warning "shared ${EDITION}"' '!include c.zqs'
  printf '\0'
  printf '%s\n' '!include a.zqs' '!error "cycle"'
} >"$work/corpus/preprocessor/seed-editions"
cp "$ROOT/examples/demo/setup.zqs" "$work/corpus/preprocessor/seed-demo"

# The engine's command line: one argument a line.
mkdir -p "$work/corpus/command_line"
printf '%s\n' /S /LANG=0407 '/LOG=C:\setup log.txt' 'Z:\tmp\setup.exe' '/D=C:\Program Files\Demo Product' \
  >"$work/corpus/command_line/seed-all"
printf '%s\0%s\0%s' -s /help /D=\$PROGRAMFILES\\Demo >"$work/corpus/command_line/seed-nul"

for dir in "$work/corpus"/*/; do
  target=$(basename "$dir")
  mkdir -p "$CORPUS/$target"
  rm -f -- "$CORPUS/$target"/seed-*
  cp -- "$dir"/seed-* "$CORPUS/$target/"
done
du -sh "$CORPUS"/* | sed "s|$CORPUS/||"
