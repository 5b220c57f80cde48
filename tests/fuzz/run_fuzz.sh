#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (AddressSanitizer, UndefinedBehaviorSanitizer)
# in build/fuzz and runs each for SECONDS, one after the other.
#   tests/fuzz/run_fuzz.sh [SECONDS] [TARGET...]     (default 60 s, every target)
# Each target starts from its committed corpus (tests/fuzz/corpus/<target>, read only) and a
# working corpus of its own (build/fuzz/corpus/<target>, kept between runs). Findings land in
# build/fuzz/crashes/<target>/, each printed with the command that reproduces it. Exit 1 when a
# target found something.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
SECONDS_EACH=${1:-60}
shift || true
BUILD=$ROOT/build/fuzz
JOBS=${JOBS:-$(nproc)}
ALL_TARGETS=(container setup_info comp_lines language pages uninstall_log pak_archive vfs wave script command_line pe_resources)
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=("${ALL_TARGETS[@]}")

say() { printf '\033[1m== %s\033[0m\n' "$*"; }

case $SECONDS_EACH in
  '' | *[!0-9]*) echo "usage: $0 [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac

# clang and its runtime libraries (libFuzzer, the sanitizers), installed when missing.
ensure_clang() {
  local p missing=()
  for p in clang libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

ensure_clang
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  say "configuring build/fuzz (clang, libFuzzer)"
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g" \
    -DZQ_SANITIZE=ON -DZQ_FUZZ=ON >/dev/null
fi
say "building the fuzz targets"
cmake --build "$BUILD" -j "$JOBS" --target fuzz_targets >/dev/null

export UBSAN_OPTIONS=print_stacktrace=1
# The targets that read files keep them under here, not in the system's temporary folder.
export TMPDIR=$BUILD/tmp
mkdir -p "$TMPDIR"

found=0
summary=()
for t in "${TARGETS[@]}"; do
  bin=$BUILD/fuzz/fuzz_$t
  [ -x "$bin" ] || { echo "no fuzz target \"$t\" (targets: ${ALL_TARGETS[*]})" >&2; exit 2; }
  work=$BUILD/corpus/$t
  crashes=$BUILD/crashes/$t
  log=$BUILD/logs/$t.log
  mkdir -p "$work" "$crashes" "$(dirname "$log")"
  before=$(ls "$crashes")
  say "fuzzing $t for ${SECONDS_EACH}s"
  status=0
  "$bin" "$work" "$ROOT/tests/fuzz/corpus/$t" -max_total_time="$SECONDS_EACH" -timeout=20 -rss_limit_mb=2048 -malloc_limit_mb=256 \
    -artifact_prefix="$crashes/" -print_final_stats=1 >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  new=$(comm -13 <(echo "$before") <(ls "$crashes") | grep -v '^slow-unit-' || true)
  if [ -n "$new" ] || [ "$status" -ne 0 ]; then
    found=1
    summary+=("$(printf '%-14s %10s execs %8s/s  FOUND (log %s)' "$t" "${execs:--}" "${rate:--}" "${log#"$ROOT"/}")")
    grep -m1 -E 'ERROR: |runtime error|deadly signal|timeout|out-of-memory' "$log" || true
    for f in $new; do
      echo "reproduce: $bin $crashes/$f"
    done
    [ -z "$new" ] && echo "libFuzzer ended with status $status; see $log"
  else
    summary+=("$(printf '%-14s %10s execs %8s/s  clean' "$t" "${execs:--}" "${rate:--}")")
  fi
done

say "summary (${SECONDS_EACH}s each)"
printf '%s\n' "${summary[@]}"
if [ "$found" -ne 0 ]; then
  echo "A reproducer that is fixed goes into tests/fuzz/corpus/<target>/ as crash-<hash>, so the test run replays it."
fi
exit "$found"
