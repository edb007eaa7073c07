#!/usr/bin/env bash
# The benchmarks (programs in bench/, not timed tests): line efficiency at 115200 bit/s (without
# and with the traffic trace), the software ceiling on an unpaced pty, the fixed cost of an
# installation, idle CPU (the -CONSOLE automatic mode and, when the Windows build has its window,
# the window under Wine), peak memory, what a vanished port costs, and 16 installations at once
# on COM1 to COM16 against 16 simulators at the line rate. Each prints its table;
# the machine-readable lines ("name value unit") of all of them are gathered in
# build/bench/figures.txt. See docs/benchmarks.md.
#
#   scripts/bench.sh [benchmark...]     (bench_line_efficiency bench_ceiling bench_fixed_cost
#                                        bench_idle_cpu bench_memory bench_unplug
#                                        bench_parallel; default all)
set -u -o pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT" || exit 1
# shellcheck source=lib/deps.sh
source scripts/lib/deps.sh

BUILD=$ROOT/build
OUT=$BUILD/bench
BENCHMARKS=("$@")
[ ${#BENCHMARKS[@]} = 0 ] && BENCHMARKS=(bench_line_efficiency bench_ceiling bench_fixed_cost
  bench_idle_cpu bench_memory bench_unplug bench_parallel)

install_deps native windows || { echo "could not install the build dependencies" >&2; exit 1; }
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -G Ninja -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
ninja -C "$BUILD" "${BENCHMARKS[@]}" halvex-installer halvex-sim >/dev/null ||
  { echo "build failed" >&2; exit 1; }
mkdir -p "$OUT"
: >"$OUT/figures.txt"

# The window's idle CPU needs the Windows build, a Wine prefix and an X server.
wine_args=()
xvfb=
cleanup() {
  if [ -n "$xvfb" ]; then
    wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
  fi
}
trap cleanup EXIT
case " ${BENCHMARKS[*]} " in
  *" bench_idle_cpu "*)
    # shellcheck source=lib/wine_env.sh
    source scripts/lib/wine_env.sh
    if [ ! -f "$ROOT/build-win/build.ninja" ]; then
      cmake -G Ninja -S . -B "$ROOT/build-win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null 2>&1
    fi
    if ninja -C "$ROOT/build-win" halvex-installer >/dev/null 2>&1 && wine_setup; then
      display=${HALVEX_BENCH_DISPLAY:-98}
      Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb=$!
      export DISPLAY=":$display"
      wine_args=(--wine-exe "$ROOT/build-win/bin/halvex-installer.exe")
    else
      echo "(the Windows build or its Wine prefix could not be made: the window is not measured)"
    fi
    ;;
esac

echo "Machine: $(uname -srm), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
echo "Commit: $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
status=0
for benchmark in "${BENCHMARKS[@]}"; do
  echo
  args=()
  [ "$benchmark" = bench_idle_cpu ] && args=("${wine_args[@]}")
  if "$BUILD/bin/$benchmark" "${args[@]}" >"$OUT/$benchmark.txt" 2>&1; then :; else
    echo "$benchmark failed" >&2
    status=1
  fi
  cat "$OUT/$benchmark.txt"
  grep -E '^[a-z_0-9]+ [^ ]+ [^ ]+$' "$OUT/$benchmark.txt" >>"$OUT/figures.txt"
done
echo
echo "Figures (also in $OUT/figures.txt):"
cat "$OUT/figures.txt"
exit $status
