#!/usr/bin/env bash
# The inner loop: configures the native tree (build/) when it is not configured yet, builds it
# and runs the native suites. It installs nothing, runs nothing under Wine and builds no
# sanitized tree: scripts/test.sh is the full run. ccache is used when it is installed.
#
#   scripts/check.sh                  build, then every native suite
#   scripts/check.sh -R PackageStore  build, then the cases ctest selects with these arguments
#
# Ends with ctest's summary and the time taken; the failed cases' output is in
# build/check-ctest.log. The exit status is non-zero when the build or a case failed.
set -u -o pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT" || exit 1

JOBS=${JOBS:-$(nproc)}
# The suites mostly wait on lines and time-outs: twice as many at once as there are processors.
TEST_JOBS=${TEST_JOBS:-$((JOBS * 2))}
BUILD=$ROOT/build
STARTED=$(date +%s)

for tool in cmake ninja ctest; do
  command -v "$tool" >/dev/null 2>&1 || {
    echo "$tool is missing: scripts/test.sh installs what the build needs" >&2
    exit 1
  }
done

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
configured_launcher=$(sed -n 's/^CMAKE_CXX_COMPILER_LAUNCHER:[A-Z]*=//p' "$BUILD/CMakeCache.txt" 2>/dev/null)
if [ ! -f "$BUILD/build.ninja" ] || { [ ${#launcher[@]} -gt 0 ] && [ -z "$configured_launcher" ]; }; then
  echo "== configuring $BUILD"
  mkdir -p "$BUILD"
  cmake -G Ninja -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DHALVEX_WIN_BUILD="$ROOT/build-win" "${launcher[@]}" >"$BUILD/check-configure.log" 2>&1 || {
    tail -n 40 "$BUILD/check-configure.log" >&2
    exit 1
  }
fi

echo "== building $BUILD"
ninja -C "$BUILD" -j "$JOBS" >"$BUILD/check-build.log" 2>&1 || {
  grep -E -A 12 'FAILED|error' "$BUILD/check-build.log" | head -n 60 >&2
  echo "the build failed (all of it in $BUILD/check-build.log)" >&2
  exit 1
}

echo "== native suites"
# The native tree's end-to-end cases under Wine are scripts/test.sh's.
(cd "$BUILD" && HALVEX_WINE_TESTS=0 ctest -j "$TEST_JOBS" --timeout 600 --output-on-failure "$@" \
  >"$BUILD/check-ctest.log" 2>&1)
status=$?
grep -E '\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception|Not Run|tests passed|tests failed' \
  "$BUILD/check-ctest.log" | tail -n 40
echo "== $(($(date +%s) - STARTED)) s"
exit $status
