#!/usr/bin/env bash
# Builds the installable packages into dist/:
#   halvex-installer-<version>-win64.zip   the Windows program (mingw-w64 cross build), README,
#                                          licence and an example package store
#   halvex-installer_<version>_amd64.deb   halvex-installer and halvex-sim, man pages, README
# Uses the trees scripts/test.sh builds (build/, build-win/), configuring them when missing,
# and builds only what the packages hold. Prints the packages and their sizes.
set -u -o pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT" || exit 1
# shellcheck source=lib/deps.sh
source scripts/lib/deps.sh

JOBS=${JOBS:-$(nproc)}
DIST=$ROOT/dist

install_deps native windows package || { echo "could not install the build dependencies" >&2; exit 1; }

package_tree() { # package_tree dir targets -- cmake-args...
  local dir=$1 targets=()
  shift
  while [ "$1" != -- ]; do targets+=("$1"); shift; done
  shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -G Ninja -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null || return 1
  fi
  ninja -C "$dir" -j "$JOBS" "${targets[@]}" >/dev/null || return 1
  rm -rf "$dir/package"
  (cd "$dir" && cpack >/dev/null) || return 1
}

package_tree build halvex-installer halvex-sim halvex_man_pages halvex_changelog -- ||
  { echo "the Debian package could not be made" >&2; exit 1; }
package_tree build-win halvex-installer -- -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ||
  { echo "the Windows zip could not be made" >&2; exit 1; }

rm -rf "$DIST"
mkdir -p "$DIST"
cp build/package/*.deb build-win/package/*.zip "$DIST"/
ls -l "$DIST" | tail -n +2
