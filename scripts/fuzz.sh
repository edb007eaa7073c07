#!/usr/bin/env bash
# Fuzzing campaign: builds the libFuzzer targets (clang, ASan+UBSan, tree build-fuzz) and runs
# each for the given seconds (default 60), starting from the checked-in seed corpus
# fuzz/corpus/<target>/ and a working corpus in build-fuzz/corpus/<target>/ that grows from
# run to run. Two targets run at a time. Prints the executions of each target; the exit status
# is non-zero when a target crashed, leaked or tripped a sanitizer (its reproducer is kept in
# build-fuzz/crashes/<target>/). Every result is one line "PASS name ..." or "FAIL name ..."
# (scripts/test.sh counts them).
#
#   scripts/fuzz.sh [seconds] [target...]
set -u -o pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT" || exit 1
# shellcheck source=lib/deps.sh
source scripts/lib/deps.sh

SECONDS_EACH=${1:-60}
shift || true
BUILD=${FUZZ_BUILD:-$ROOT/build-fuzz}
TARGETS=("$@")
if [ ${#TARGETS[@]} = 0 ]; then
  TARGETS=(fuzz_identification fuzz_line_reader fuzz_read_packet fuzz_module fuzz_profile
    fuzz_version_name fuzz_command_line fuzz_network_server)
fi
PARALLEL=${FUZZ_PARALLEL:-2}

install_deps native fuzz || { echo "could not install clang and its fuzzer runtime" >&2; exit 1; }
mkdir -p "$BUILD"
if ! CC=clang CXX=clang++ cmake -G Ninja -S . -B "$BUILD" -DHALVEX_FUZZ=ON -DHALVEX_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$BUILD/configure.log" 2>&1; then
  cat "$BUILD/configure.log" >&2
  exit 1
fi
# The whole tree, so that every file is known to build with clang and -Werror.
if ! ninja -C "$BUILD" >"$BUILD/build.log" 2>&1; then
  tail -n 40 "$BUILD/build.log" >&2
  echo "FAIL build:build-fuzz"
  exit 1
fi
echo "PASS build:build-fuzz"

run_target() { # run_target name seconds
  local target=$1 seconds=$2 corpus=$BUILD/corpus/$1 crashes=$BUILD/crashes/$1
  mkdir -p "$corpus" "$crashes"
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$BUILD/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$crashes/" "$corpus" "fuzz/corpus/$target" \
    >"$BUILD/$target.log" 2>&1
  local status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$BUILD/$target.log" | tail -n 1)
  if [ "$status" = 0 ]; then
    printf 'PASS fuzz:%s %s executions in %ss\n' "$target" "${runs:-0}" "$seconds"
  else
    printf 'FAIL fuzz:%s exit %s after %s executions (see %s)\n' "$target" "$status" \
      "${runs:-?}" "$BUILD/$target.log"
    grep -E 'ERROR|SUMMARY|property violated|runtime error' "$BUILD/$target.log" | head -n 5 >&2
  fi
  return $status
}

status=0
pids=()
names=()
for target in "${TARGETS[@]}"; do
  run_target "$target" "$SECONDS_EACH" >"$BUILD/$target.result" &
  pids+=($!)
  names+=("$target")
  if [ ${#pids[@]} -ge "$PARALLEL" ]; then
    wait "${pids[0]}" || status=1
    cat "$BUILD/${names[0]}.result"
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
  fi
done
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || status=1
  cat "$BUILD/${names[$i]}.result"
done
exit $status
