#!/usr/bin/env bash
# The Windows program's window on Linux: builds what is missing (the native tree for the
# simulator, the Windows tree for the program), makes a sample package store in a temporary
# folder, puts the instrument simulator behind the Wine prefix's COM1 and runs
# halvex-installer.exe there under Wine. Choose COM1 in the port box, press Connect, then
# Install. On a machine without a display it runs on a private Xvfb and saves a picture.
#
#   scripts/demo-window.sh            (HALVEX_DEMO_SECONDS: how long the Xvfb run lasts, 30)
set -u -o pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT" || exit 1
# shellcheck source=lib/deps.sh
source scripts/lib/deps.sh
# shellcheck source=lib/wine_env.sh
source scripts/lib/wine_env.sh

SIM=$ROOT/build/bin/halvex-sim
EXE=$WIN_BUILD/bin/halvex-installer.exe
DEMO_SECONDS=${HALVEX_DEMO_SECONDS:-30}

install_deps native windows || { echo "could not install what the demo needs" >&2; exit 1; }
if [ ! -x "$SIM" ]; then
  echo "Building the native tree (the simulator) ..."
  { cmake -G Ninja -S . -B build >/dev/null && ninja -C build halvex-sim >/dev/null; } || exit 1
fi
if [ ! -f "$EXE" ]; then
  echo "Building the Windows tree ..."
  { cmake -G Ninja -S . -B "$WIN_BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      >/dev/null && ninja -C "$WIN_BUILD" halvex-installer >/dev/null; } || exit 1
fi
echo "Preparing the Wine prefix ..."
wine_setup || { echo "could not prepare the Wine prefix" >&2; exit 1; }

DEMO=$(mktemp -d)
sim=""
xvfb=""
cleanup() {
  # wineserver goes first: it holds the simulator's pty.
  wine_stop
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -f "$PORTS_DIR/com1"
  rm -rf "$DEMO"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A store with two releases for the simulated VSR450 (version 1.0.0) and one for another model.
mkdir -p "$DEMO/work/packages" "$DEMO/work/files" "$DEMO/store"
printf '[files]\nmain=vsr450_main_010200.bin\ngpib=vsr450_gpib_010000.bin\nfpga=vsr450_fpga_010100.bin\n' \
  >"$DEMO/work/packages/VSR450_2021_A.pkg"
printf '[files]\nmain=vsr450_main_010300.bin\ngpib=vsr450_gpib_010000.bin\nfpga=vsr450_fpga_010100.bin\n' \
  >"$DEMO/work/packages/VSR450_2021_B.pkg"
printf '[files]\nmain=vsr900_main_020000.bin\n' >"$DEMO/work/packages/VSR900_2021.pkg"
head -c 300000 /dev/urandom >"$DEMO/work/files/vsr450_main_010200.bin"
head -c 400000 /dev/urandom >"$DEMO/work/files/vsr450_main_010300.bin"

rm -f "$PORTS_DIR/com1"
"$SIM" --pty "$PORTS_DIR/com1" --store "$DEMO/store" 2>"$DEMO/sim.err" &
sim=$!
wait_for_path "$PORTS_DIR/com1" || { echo "the simulator did not start:" >&2; cat "$DEMO/sim.err" >&2; exit 1; }
echo "The simulated instrument answers on COM1; what it receives goes to $DEMO/store."

if [ -z "${DISPLAY:-}" ]; then
  number=71
  while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
  Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=":$number"
  echo "There is no display: the window runs on a private Xvfb ($DISPLAY) for $DEMO_SECONDS s."
fi

cd "$DEMO/work" || exit 1
wine "$EXE" &
program=$!
if [ -n "$xvfb" ]; then
  waited=0
  while kill -0 "$program" 2>/dev/null && [ "$waited" -lt "$DEMO_SECONDS" ]; do
    sleep 1
    waited=$((waited + 1))
  done
  shot=$WIN_BUILD/demo-window.png
  import -window root "$shot" 2>/dev/null && echo "A picture of the screen: $shot"
else
  echo "Close the window (File > Exit) to end the demo."
  wait "$program"
fi
echo "Received by the instrument: $(cd "$DEMO/store" && ls -A | tr '\n' ' ')"
