#!/usr/bin/env bash
# Makes the packages (scripts/package.sh) and checks them without installing anything on this
# machine: lists the Debian package and extracts it into a scratch folder, runs the extracted
# halvex-installer --version and -PORTS (against a folder of fake device links, never the
# machine's ports), runs lintian on it, renders both man pages with man -l, and runs the zip's
# program under Wine with --version. Appends one "PASS name" / "FAIL name" line per check to
# results/script.txt.
set -u -o pipefail
RESULTS=${1:?results folder}
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
cd "$ROOT" || exit 1
# shellcheck source=wine_env.sh
source scripts/lib/wine_env.sh

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
LOG=$RESULTS/packages.txt
: >"$LOG"
status=0

check() { # check name command... : PASS when the command succeeds
  local name=$1
  shift
  if "$@" >>"$LOG" 2>&1; then
    echo "PASS package:$name" >>"$RESULTS/script.txt"
  else
    echo "FAIL package:$name" >>"$RESULTS/script.txt"
    echo "FAILED: package:$name (see $LOG)" >&2
    status=1
  fi
}

# $1 holds exactly the text $2 (a command's whole output).
same() {
  [ "$1" = "$2" ] && return 0
  printf 'expected: %s\ngot:      %s\n' "$2" "$1"
  return 1
}

check build scripts/package.sh
VERSION=$(sed -n 's/^#define HALVEX_VERSION_TEXT "\(.*\)"$/\1/p' build/generated/halvex_version.h)
DEB=$(ls dist/*.deb 2>/dev/null | head -n 1)
ZIP=$(ls dist/*.zip 2>/dev/null | head -n 1)

deb_contents() {
  dpkg-deb -c "$DEB" | tee "$WORK/contents.txt"
  local path
  for path in usr/bin/halvex-installer usr/bin/halvex-sim usr/share/man/man1/halvex-installer.1.gz \
    usr/share/man/man1/halvex-sim.1.gz usr/share/doc/halvex-installer/README.md \
    usr/share/doc/halvex-installer/changelog.gz usr/share/doc/halvex-installer/copyright; do
    grep -q " \./$path\$" "$WORK/contents.txt" || { echo "missing: $path"; return 1; }
  done
  dpkg-deb -x "$DEB" "$WORK/deb"
}
check deb-contents deb_contents

# lintian: no error and no warning (the informational tags are shown in the log, not counted).
check deb-lintian lintian --fail-on error,warning --display-info "$DEB"

check deb-version same "$("$WORK/deb/usr/bin/halvex-installer" --version)" "halvex-installer $VERSION"

deb_ports() { # the machine's ports are listed as they are; COM1 and COM2 are mapped here
  mkdir -p "$WORK/dev"
  ln -s /dev/null "$WORK/dev/ttyUSB0"
  local out
  out=$(HALVEX_COM1="$WORK/dev/ttyUSB0" HALVEX_COM2="$WORK/dev/missing" \
    "$WORK/deb/usr/bin/halvex-installer" -PORTS) || return 1
  echo "$out"
  grep -qx "COM1  $WORK/dev/ttyUSB0 (HALVEX_COM1): exists" <<<"$out" &&
    grep -qx "COM2  $WORK/dev/missing (HALVEX_COM2): missing" <<<"$out"
}
check deb-ports deb_ports

man_page() { # man_page name: renders it and fails on any warning
  local page=$WORK/deb/usr/share/man/man1/$1.1.gz
  MANWIDTH=80 man --warnings -P cat -l "$page" >"$WORK/$1.txt" 2>"$WORK/$1.err" || return 1
  head -n 12 "$WORK/$1.txt"
  cat "$WORK/$1.err"
  grep -q '^NAME' "$WORK/$1.txt" && [ ! -s "$WORK/$1.err" ]
}
check man:halvex-installer man_page halvex-installer
check man:halvex-sim man_page halvex-sim

zip_version() {
  mkdir -p "$WORK/zip"
  (cd "$WORK/zip" && cmake -E tar xf "$ROOT/$ZIP") || return 1
  local exe
  exe=$(ls "$WORK"/zip/*/halvex-installer.exe) || return 1
  ls -R "$WORK/zip"
  local out
  out=$(wine "$exe" --version)
  wine_stop
  same "$out" "halvex-installer $VERSION"
}
check zip-version zip_version

ls -l dist | tail -n +2 >>"$LOG"
exit $status
