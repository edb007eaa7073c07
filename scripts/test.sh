#!/usr/bin/env bash
# The test command. On a fresh Debian machine (as root) it installs what is missing, builds
# the native tree (plain and with ASan+UBSan) and the Windows tree, runs the native suites
# with ctest, runs the Windows suites under Wine against real ptys, and ends with one line:
# "N passed, N failed". The exit status is non-zero when anything failed.
set -u -o pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT" || exit 1
# shellcheck source=lib/deps.sh
source scripts/lib/deps.sh
# shellcheck source=lib/wine_env.sh
source scripts/lib/wine_env.sh

JOBS=${JOBS:-$(nproc)}
# The suites spend most of their time waiting on lines and time-outs, not computing: ctest runs
# twice as many at once as there are processors (the timing tests hold on a loaded machine).
TEST_JOBS=${TEST_JOBS:-$((JOBS * 2))}
RESULTS=$ROOT/build/test-results
STARTED=$(date +%s)

note() { printf '== %s (%ss)\n' "$*" "$(($(date +%s) - STARTED))"; }
# A step of the script itself that passes or fails as a whole.
record() { # record PASS|FAIL name
  echo "$1 $2" >>"$RESULTS/script.txt"
  [ "$1" = FAIL ] && echo "FAILED: $2" >&2
  return 0
}

note "installing what is missing"
install_deps native windows fuzz package || { echo "could not install the build dependencies" >&2; exit 1; }

mkdir -p build
rm -rf "$RESULTS"
mkdir -p "$RESULTS"

# ccache, when the machine has it, spares a run the compilations an earlier one already made,
# also from another checkout: paths below the checkout's root count as the same, and so does the
# folder a compilation ran in (the test trees' debug information may then name another
# checkout's folder).
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR=$ROOT CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

build_tree() { # build_tree dir cmake-args...
  local dir=$1
  shift
  if cmake -G Ninja -S . -B "$dir" "${launcher[@]}" "$@" >"$RESULTS/configure-$(basename "$dir").log" 2>&1 &&
    ninja -C "$dir" -j "$JOBS" >"$RESULTS/build-$(basename "$dir").log" 2>&1; then
    record PASS "build:$(basename "$dir")"
    return 0
  fi
  tail -n 40 "$RESULTS/configure-$(basename "$dir").log" "$RESULTS/build-$(basename "$dir").log" >&2
  record FAIL "build:$(basename "$dir")"
  return 1
}

note "building the native tree"
build_tree build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALVEX_WIN_BUILD="$ROOT/build-win"
native_ok=$?
note "building the Windows tree"
build_tree build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
windows_ok=$?
note "building the sanitized native tree"
build_tree build-asan -DCMAKE_BUILD_TYPE=Debug -DHALVEX_SANITIZE=ON
asan_ok=$?

if [ "$windows_ok" = 0 ]; then
  note "preparing Wine"
  if wine_setup; then record PASS "wine:prefix"; else record FAIL "wine:prefix"; windows_ok=1; fi
fi

run_ctest() { # run_ctest dir name
  (cd "$1" && ctest -j "$TEST_JOBS" --timeout 600 --output-junit "$RESULTS/ctest-$2.xml" \
    >"$RESULTS/ctest-$2.log" 2>&1)
  local status=$?
  grep -E 'tests passed|tests failed|\*\*\*Failed|\*\*\*Timeout|Exception' "$RESULTS/ctest-$2.log" | tail -n 20
  [ -f "$RESULTS/ctest-$2.xml" ] || record FAIL "ctest:$2 (no results)"
  return $status
}

if [ "$native_ok" = 0 ]; then
  note "native suites"
  HALVEX_WINE_TESTS=$([ "$windows_ok" = 0 ] && echo 1 || echo 0) run_ctest build native
fi
if [ "$asan_ok" = 0 ]; then
  note "sanitized native suites"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    HALVEX_WINE_TESTS=0 run_ctest build-asan asan
fi

if [ "$windows_ok" = 0 ]; then
  note "Windows suites under Wine"
  scripts/lib/run_wine_suites.sh "$RESULTS" || true
fi

# The Debian package and the Windows zip, made by scripts/package.sh into dist/ and checked
# without installing anything (scripts/lib/check_packages.sh).
if [ "$native_ok" = 0 ] && [ "$windows_ok" = 0 ]; then
  note "packages"
  scripts/lib/check_packages.sh "$RESULTS" || true
  tail -n 2 "$RESULTS/packages.txt"
fi

# ---- begin: fuzzing and the fault soak (bench/, fuzz/; see docs/benchmarks.md) ----
# Each fuzz target runs a few seconds from its seed corpus (clang tree build-fuzz); the soak
# runs a bounded set of automatic installations with random line faults against the simulator.
# Both append their own "PASS name" / "FAIL name" lines.
note "fuzzing (bounded)"
scripts/fuzz.sh "${HALVEX_FUZZ_SECONDS:-8}" >"$RESULTS/fuzz.txt" 2>&1
grep -E '^(PASS|FAIL) ' "$RESULTS/fuzz.txt" | tee -a "$RESULTS/script.txt"
grep -qE '^(PASS|FAIL) build:build-fuzz' "$RESULTS/fuzz.txt" || {
  tail -n 20 "$RESULTS/fuzz.txt" >&2
  record FAIL "fuzz:setup"
}
if [ "$native_ok" = 0 ]; then
  note "fault soak (bounded)"
  timeout 300 build/bin/halvex-soak 20 "${HALVEX_SOAK_SEED:-1}" --unrecoverable 5 --parallel 8 \
    --max-size 100000 --results "$RESULTS/script.txt" >"$RESULTS/soak.txt" 2>&1
  soak_status=$?
  tail -n 5 "$RESULTS/soak.txt"
  if [ "$soak_status" != 0 ]; then
    grep -A 3 '^FAIL' "$RESULTS/soak.txt" | head -n 40 >&2
    grep -q 'soak:mismatches' "$RESULTS/script.txt" || record FAIL "soak:run (exit $soak_status)"
  fi
fi
# ---- end: fuzzing and the fault soak ----

note "done"
python3 scripts/lib/summarize.py "$RESULTS"/*.xml "$RESULTS"/script.txt
