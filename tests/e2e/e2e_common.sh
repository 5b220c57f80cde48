# Shared by the end-to-end tests: a work folder, the demo setup built into it, checks.
set -euo pipefail

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
