# Shared by the end-to-end tests: a work folder, the demo setup built into it, checks.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine_prefix.sh"
# Windows programs start with the loader of the engine under test (ctest says which).
use_wine "$ZQ_WINE_ARCH"

FAILURES=0
PASSES=0
check() {  # description, command...
  local what=$1
  shift
  if "$@" >/dev/null 2>&1; then
    PASSES=$((PASSES + 1))
  else
    FAILURES=$((FAILURES + 1))
    echo "FAILED: $what" >&2
  fi
}
finish() {
  echo "$PASSES passed, $FAILURES failed"
  [ "$FAILURES" -eq 0 ]
}

# make_demo_workspace DIR: the demo's script and pages with a freshly generated payload.
make_demo_workspace() {
  local dir=$1
  rm -rf "$dir"
  mkdir -p "$dir"
  cp -r "$SOURCE_DIR/examples/demo" "$dir/demo"
  rm -rf "$dir/demo/payload"
  python3 "$dir/demo/make_payload.py" "$dir/demo/payload" >/dev/null
}

# same_tree SOURCE INSTALLED: every file of SOURCE is in INSTALLED with the same bytes,
# apart from the ones named after them (changed by the script on purpose).
same_tree() {
  local src=$1 dst=$2
  shift 2
  local skip=" $* "
  local f
  while IFS= read -r -d '' f; do
    local rel=${f#"$src"/}
    case "$skip" in *" $rel "*) continue ;; esac
    cmp -s "$f" "$dst/$rel" || { echo "differs: $rel" >&2; return 1; }
  done < <(find "$src" -type f -print0)
}

# The demo's archives as they are updated in place: list the files the checks name.
DEMO_ARCHIVES="data/game.zqp data/world.vfs data/world.ht data/music.vfs data/music.ht"

# json_true FILE EXPRESSION: the Python EXPRESSION, over the JSON `j` read from FILE, holds.
json_true() {
  python3 -c 'import json, sys; j = json.load(open(sys.argv[1])); sys.exit(0 if eval(sys.argv[2]) else 1)' "$1" "$2"
}

# check_demo_archives ZQ INSTALL_DIR DEMO_DIR SCRATCH: what the demo's zqpupdate, zqpofficial,
# duplicateentry and vfsupdate lines did to the archives its first file line installed.
check_demo_archives() {
  local zq=$1 inst=$2/data demo=$3 out=$4
  mkdir -p "$out"
  local pak="$out/game.json" world="$out/world.json" music="$out/music.json"
  "$zq" pak list --json "$inst/game.zqp" >"$pak" || true
  "$zq" vfs list --json "$inst/world.vfs" >"$world" || true
  "$zq" vfs list --json "$inst/music.vfs" >"$music" || true
  check "zq pak check passes on the updated package" "$zq" pak check "$inst/game.zqp"
  check "zq vfs check passes on the first archive (left open, closed by the next line)" "$zq" vfs check "$inst/world.vfs"
  check "zq vfs check passes on the second archive" "$zq" vfs check "$inst/music.vfs"
  check "no journal is left beside an archive" test -z "$(find "$inst" -name '*.zqj')"
  check "package: password set, official flag set, version 3 trailer" \
    json_true "$pak" 'j["password"] and j["official"] and j["trailer"] == 3'
  check "package: the members, the duplicate's name in lower case" json_true "$pak" \
    'sorted(m["name"] for m in j["members"]) == sorted(["config.ini", "maps\\level1.map", "maps\\Level2.map",
     "scripts\\intro.txt", "maps\\level3.map", "sounds\\THEME.WAV", "sounds\\menu.wav"])'
  check "package: the unchanged member is not written again" json_true "$pak" \
    '[m["offset"] for m in j["members"] if m["name"] == "config.ini"] == [0]'
  check "package: the wave member is an ADPCM wave container" json_true "$pak" \
    '[(m["kind"], m["unpacked"]) for m in j["members"] if m["name"] == "sounds\\THEME.WAV"] == [(1, 8864)]'
  check "package: the duplicate shares the wave member's data" json_true "$pak" \
    'len({(m["offset"], m["stored"], m["kind"]) for m in j["members"] if m["name"].lower().startswith("sounds\\")}) == 1'
  rm -rf "$out/pak" "$out/world" "$out/music"
  "$zq" pak extract "$inst/game.zqp" -o "$out/pak" >/dev/null 2>&1 || true
  "$zq" vfs extract "$inst/world.vfs" -o "$out/world" >/dev/null 2>&1 || true
  "$zq" vfs extract "$inst/music.vfs" -o "$out/music" >/dev/null 2>&1 || true
  check "package: a replaced member keeps its stored name and has the new bytes" \
    cmp -s "$demo/patch_pak/maps/level2.map" "$out/pak/maps/Level2.map"
  check "package: an added member" cmp -s "$demo/patch_pak/maps/level3.map" "$out/pak/maps/level3.map"
  check "package: the wave member decodes to a PCM WAV of the source's size" \
    test "$(head -c 4 "$out/pak/sounds/THEME.WAV" 2>/dev/null)$(stat -c %s "$out/pak/sounds/THEME.WAV" 2>/dev/null)" = "RIFF8864"
  check "package: the duplicate decodes to the same sound" cmp -s "$out/pak/sounds/THEME.WAV" "$out/pak/sounds/menu.wav"
  check "first archive: the files and directories" json_true "$world" \
    'sorted((e["path"], e["flags"] & 3) for e in j) == [("levels", 2), ("levels\\forest", 2),
     ("levels\\forest\\trees.lvl", 1), ("levels\\start.lvl", 1), ("notes.txt", 1), ("readme.txt", 1)]'
  check "first archive: a replaced file" cmp -s "$demo/patch_vfs1/levels/start.lvl" "$out/world/levels/start.lvl"
  check "first archive: a file in a new directory" cmp -s "$demo/patch_vfs1/levels/forest/trees.lvl" "$out/world/levels/forest/trees.lvl"
  check "first archive: a new root file" cmp -s "$demo/patch_vfs1/notes.txt" "$out/world/notes.txt"
  check "first archive: the file already there stays" test "$(cat "$out/world/readme.txt" 2>/dev/null)" = $'World data.\r'
  check "second archive: the files and directories" json_true "$music" \
    'sorted((e["path"], e["flags"]) for e in j) == [("music", 2), ("music\\battle.dat", 1), ("music\\intro.mid", 1)]'
  check "second archive: an added file over several blocks" cmp -s "$demo/patch_vfs2/music/battle.dat" "$out/music/music/battle.dat"
}
