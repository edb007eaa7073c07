#!/usr/bin/env bash
# The fault soak: N automatic installations (default 200) against the simulated instrument with
# seeded random recoverable faults, plus unrecoverable runs (a fifth as many, at least one of
# each kind), several at a time. Ends with the counts: runs, faults injected, resends,
# mismatches (must be 0). Exit status 0 when every run behaved.
#
#   scripts/soak.sh [N] [seed]          (more options: build/bin/halvex-soak --help)
set -u -o pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT" || exit 1
# shellcheck source=lib/deps.sh
source scripts/lib/deps.sh

RUNS=${1:-200}
SEED=${2:-$(date +%s)}
BUILD=${SOAK_BUILD:-$ROOT/build}

install_deps native || { echo "could not install the build dependencies" >&2; exit 1; }
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -G Ninja -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || exit 1
fi
ninja -C "$BUILD" halvex-soak halvex-installer-test >/dev/null || { echo "build failed" >&2; exit 1; }
echo "seed $SEED (scripts/soak.sh $RUNS $SEED repeats this soak)"
exec "$BUILD/bin/halvex-soak" "$RUNS" "$SEED" --parallel "${SOAK_PARALLEL:-10}"
