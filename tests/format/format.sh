#!/usr/bin/env bash
# Holds every *.cpp and *.h of src/ and tests/ to .clang-format: names each place that differs
# and fails, or with --in-place formats them. A missing clang-format-14 fails too: a check that
# skipped itself would pass where it never ran.
# usage: tests/format/format.sh [--in-place] [ROOT]
set -euo pipefail
in_place=false
if [ "${1:-}" = --in-place ]; then
  in_place=true
  shift
fi
root=${1:-"$(dirname "$0")/../.."}
cd "$root"
if ! command -v clang-format-14 >/dev/null; then
  echo "format: clang-format-14 is missing (./make.sh installs it)" >&2
  exit 1
fi
# find does not follow links, so nothing outside the tree is formatted or checked.
mapfile -d '' files < <(find src tests -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if $in_place; then
  printf '%s\0' "${files[@]}" | xargs -0 -n 50 clang-format-14 -i
  echo "format: ${#files[@]} files formatted"
elif printf '%s\0' "${files[@]}" | xargs -0 -n 50 clang-format-14 --dry-run --Werror; then
  echo "format: ${#files[@]} files as .clang-format says"
else
  echo "format: the places above differ from .clang-format; ./make.sh format formats the tree" >&2
  exit 1
fi
