#!/usr/bin/env bash
# A complete automatic installation against the instrument simulator: builds what is needed,
# lays out a package store with packages of two models (each with its MAIN image's SHA-256),
# starts halvex-sim on a pty at the speed of a real line (115200 bit/s), installs the newest
# package of the instrument's model with `halvex-installer -AUTO -PORT=COM1`, and shows that the
# image on the instrument is byte-identical and the version the instrument now reports.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
# shellcheck source=lib/deps.sh
source scripts/lib/deps.sh
install_deps native

BUILD=$ROOT/build
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -G Ninja -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
ninja -C "$BUILD" halvex-installer halvex-sim >/dev/null

WORK=$(mktemp -d)
SIM_PID=
cleanup() {
  [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

# The package store: two models, several versions; the images are made now.
mkdir -p "$WORK/packages" "$WORK/files" "$WORK/instrument"
image() { head -c "$2" /dev/urandom >"$WORK/files/$1"; }
# Each package carries its MAIN image's SHA-256, which the installer checks before it starts.
package() {
  printf '[files]\r\nmain=%s\r\ngpib=gpib_010000.bin\r\nfpga=fpga_010000.bin\r\n[sha256]\r\nmain=%s\r\n' \
    "$2" "$(sha256sum <"$WORK/files/$2" | cut -d' ' -f1)" >"$WORK/packages/$1"
}
image main_020003.bin 150000
image main_020105.bin 160000
image main_030000.bin 150000
image main_010400.bin 120000
package VSR450_release_2_0_3.pkg main_020003.bin
package VSR450_release_2_1_5.pkg main_020105.bin
package VSR900_release_1_4_0.pkg main_010400.bin
package VSR900_release_3_0_0.pkg main_030000.bin
echo "Package store in $WORK:"
(cd "$WORK" && for f in packages/* files/*; do echo "  $f"; done)
echo

LINK=$WORK/ttyHALVEX
"$BUILD/bin/halvex-sim" --pty "$LINK" --store "$WORK/instrument" --model VSR450 \
  --main-version 2.0.3 --line-rate 115200 --installer-start-ms 1000 --boot-ms 2000 \
  2>"$WORK/sim.log" &
SIM_PID=$!
for _ in $(seq 100); do [ -e "$LINK" ] && break; sleep 0.05; done
[ -e "$LINK" ] || { echo "the simulator did not start" >&2; cat "$WORK/sim.log" >&2; exit 1; }
echo "Simulated VSR450 (main version 2.0.3) on $(readlink "$LINK"), linked as COM1"
echo
echo "\$ HALVEX_COM1=$LINK halvex-installer -AUTO -PORT=COM1"
start=$(date +%s%N)
status=0
(cd "$WORK" && HALVEX_COM1="$LINK" "$BUILD/bin/halvex-installer" -AUTO -PORT=COM1) || status=$?
elapsed=$((($(date +%s%N) - start) / 100000000))
echo
echo
echo "exit status $status after $((elapsed / 10)).$((elapsed % 10)) s"
[ "$status" = 0 ] || exit "$status"

echo
echo "sha256 of the image sent and the image the instrument stored:"
(cd "$WORK" && sha256sum files/main_020105.bin instrument/main_020105.bin | sed 's/^/  /')
sent=$(sha256sum <"$WORK/files/main_020105.bin")
stored=$(sha256sum <"$WORK/instrument/main_020105.bin")
[ "$sent" = "$stored" ] && echo "  byte-identical" || { echo "  DIFFERENT" >&2; exit 1; }

# Ask the restarted instrument itself.
exec 3<>"$LINK"
stty -F "$LINK" 57600 raw -echo
printf 'VERSIONS?\r\n' >&3
read -r -t 5 reply <&3 || true
exec 3<&-
echo
echo "The instrument now reports: ${reply%$'\r'}"
