#!/usr/bin/env bash
# Runs every Windows test suite (build-win/bin/*_tests.exe) under Wine, each with fresh peers:
#   COM1 <-> COM2  the two ends of one pty pair (HALVEX_TEST_LOOP=1,2)
#   COM3           halvex-sim with its store in a fresh folder (HALVEX_TEST_SIM_COM=3,
#                  HALVEX_TEST_SIM_STORE=the folder as a Windows path)
#   COM4, COM5     window suite only: two more halvex-sims whose installers store the repeat
#                  of a packet whose "A" they lost, after a stored data packet of the first
#                  transfer (COM4: HALVEX_TEST_LOSSY_SIM_COM=4, HALVEX_TEST_LOSSY_SIM_STORE) or of
#                  every transfer (COM5: HALVEX_TEST_UNSURE_SIM_COM=5, ..._STORE)
#   network suite: ser2net in front of that simulator, an rfc2217 accepter on a free port of
#                  127.0.0.1 (HALVEX_TEST_SER2NET_PORT)
# and an X server for the suites that make windows. Writes results/wine-<suite>.xml.
# HALVEX_WINE_SUITES, a list of suite names, runs only those.
set -u -o pipefail
RESULTS=${1:?results folder}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
cd "$ROOT" || exit 1
# shellcheck source=wine_env.sh
source scripts/lib/wine_env.sh

SIM=$ROOT/build/bin/halvex-sim
DISPLAY_NUMBER=${HALVEX_TEST_DISPLAY:-97}
WORK=$(mktemp -d)
peers=()

stop_peers() {
  wine_stop
  local pid
  for pid in "${peers[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  peers=()
}
cleanup() {
  stop_peers
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

Xvfb ":$DISPLAY_NUMBER" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$DISPLAY_NUMBER"

# A simulator with faults on COM<n> for the suite, named to it as HALVEX_TEST_<name>_SIM_COM and
# _STORE: start_faulty_sim n name options...
start_faulty_sim() {
  local n=$1 name=$2 dir
  shift 2
  dir=$WORK/$suite-${name,,}-store
  rm -rf "$dir" && mkdir -p "$dir" && rm -f "$PORTS_DIR/com$n"
  "$SIM" --pty "$PORTS_DIR/com$n" --store "$dir" "$@" --log "$RESULTS/wine-$suite-${name,,}-sim.log" \
    2>>"$RESULTS/wine-$suite-sim.err" &
  peers+=($!)
  if wait_for_path "$PORTS_DIR/com$n"; then
    suite_env+=("HALVEX_TEST_${name}_SIM_COM=$n" "HALVEX_TEST_${name}_SIM_STORE=$(windows_path "$dir")")
  fi
}
# Starts ser2net serving a device on a free port of 127.0.0.1 (rfc2217); prints the port once it
# listens, after the pid in $SER2NET_PID_FILE. The line is opened at 9600, which no connection
# asks for: every speed the simulator sees was set by the program.
start_ser2net() { # start_ser2net device folder
  local device=$1 folder=$2 port
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  printf '%%YAML 1.1\n---\nconnection: &line\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%s\n  connector: serialdev,%s,9600n81,local\n  options:\n    kickolduser: true\n' \
    "$port" "$device" >"$folder/ser2net.yaml"
  ser2net -n -d -u -c "$folder/ser2net.yaml" -P "$folder/ser2net.pid" >"$folder/ser2net.log" 2>&1 &
  echo $! >"$SER2NET_PID_FILE"
  local hex tries=100
  hex=$(printf '0100007F:%04X' "$port")
  while ! awk -v local="$hex" '$2 == local && $4 == "0A" { found = 1 } END { exit !found }' /proc/net/tcp &&
    [ "$tries" -gt 0 ]; do sleep 0.05; tries=$((tries - 1)); done
  [ "$tries" -gt 0 ] && echo "$port"
}
PATH=$PATH:/usr/sbin
SER2NET_PID_FILE=$WORK/ser2net.pid.last

status=0
for exe in "$WIN_BUILD"/bin/*_tests.exe; do
  [ -e "$exe" ] || continue
  suite=$(basename "$exe" .exe)
  # HALVEX_WINE_SUITES="network_tests ..." runs only those.
  case " ${HALVEX_WINE_SUITES:-$suite} " in *" $suite "*) ;; *) continue ;; esac
  peers+=("$(start_port_loop 1 2)")
  store=$WORK/$suite-store
  rm -rf "$store" && mkdir -p "$store"
  sim_env=()
  if [ -x "$SIM" ]; then
    rm -f "$PORTS_DIR/com3"
    "$SIM" --pty "$PORTS_DIR/com3" --store "$store" --log "$RESULTS/wine-$suite-sim.log" 2>>"$RESULTS/wine-$suite-sim.err" &
    peers+=($!)
    if wait_for_path "$PORTS_DIR/com3"; then
      sim_env=(HALVEX_TEST_SIM_COM=3 "HALVEX_TEST_SIM_STORE=$(windows_path "$store")")
    fi
  fi
  suite_env=()
  if [ "$suite" = window_tests ] && [ -x "$SIM" ]; then
    start_faulty_sim 4 LOSSY --lose-ack-after-store 2 --store-repeats
    start_faulty_sim 5 UNSURE --lose-ack-after-store 2 --lose-ack-every-transfer --store-repeats
  fi
  if [ "$suite" = network_tests ] && [ ${#sim_env[@]} -gt 0 ]; then
    mkdir -p "$WORK/ser2net"
    if port=$(start_ser2net "$PORTS_DIR/com3" "$WORK/ser2net"); then
      suite_env=("HALVEX_TEST_SER2NET_PORT=$port")
    fi
    peers+=("$(cat "$SER2NET_PID_FILE")")
  fi
  if [ "$suite" = window_tests ]; then
    # The window starts in the user's language; its pictures go to build-win/screenshots.
    shots=$WIN_BUILD/screenshots
    rm -rf "$shots" && mkdir -p "$shots"
    suite_env+=(LANG=de_DE.UTF-8 "HALVEX_TEST_SCREENSHOTS=$(windows_path "$shots")")
  fi
  (cd "$WORK" && env HALVEX_TEST_LOOP=1,2 "${sim_env[@]}" "${suite_env[@]}" timeout 900 wine "$exe" \
    --gtest_output="xml:$(windows_path "$RESULTS/wine-$suite.xml")" \
    >"$RESULTS/wine-$suite.log" 2>&1)
  result=$?
  grep -E '^\[  (PASSED|FAILED) ' "$RESULTS/wine-$suite.log" | sed "s/^/$suite: /"
  if [ ! -f "$RESULTS/wine-$suite.xml" ]; then
    echo "FAIL wine:$suite (exit $result, no results)" >>"$RESULTS/script.txt"
    tail -n 20 "$RESULTS/wine-$suite.log" >&2
    status=1
  fi
  [ "$result" = 0 ] || status=1
  stop_peers
  if [ "$suite" = window_tests ]; then
    for bmp in "$shots"/*.bmp; do
      [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
    done
  fi
done
exit $status
