# The Wine environment for the Windows build's tests. Source it after setting ROOT.
#
# COM1 to COM8 of the prefix lead to links in $PORTS_DIR (ports/com<n>); a test stage puts a
# pty behind each link it uses. Ports are mapped ONLY through the registry: a dosdevices
# symlink is rewritten to the host's serial ports whenever wineserver starts.
WIN_BUILD=${WIN_BUILD:-$ROOT/build-win}
PORTS_DIR=$WIN_BUILD/ports
export WINEPREFIX=$WIN_BUILD/wineprefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_NUMERIC=C

wine_setup() {
  mkdir -p "$PORTS_DIR"
  if [ -f "$WINEPREFIX/.halvex-ports" ] && [ "$(cat "$WINEPREFIX/.halvex-ports")" = "$PORTS_DIR" ]; then
    return 0
  fi
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  wine wineboot -i >/dev/null 2>&1 || return 1
  local n
  for n in 1 2 3 4 5 6 7 8; do
    wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "$PORTS_DIR/com$n" /f >/dev/null 2>&1 || return 1
  done
  # Without it Wine stalls 2 s whenever a window closes.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || return 1
  wineserver -k >/dev/null 2>&1 || true
  echo "$PORTS_DIR" > "$WINEPREFIX/.halvex-ports"
}

# The Windows form of an absolute path: drive Z: is the root of the file system. (winepath can
# print nothing while a wineserver is starting.)
windows_path() {
  local path=$1
  echo "Z:${path//\//\\}"
}

# Waits until a path exists (a link that a background peer creates).
wait_for_path() {
  local path=$1 tries=${2:-100}
  while [ ! -e "$path" ] && [ "$tries" -gt 0 ]; do sleep 0.05; tries=$((tries - 1)); done
  [ -e "$path" ]
}

# Links COM<a> and COM<b> to the two ends of one pty pair. Prints the peer's pid.
start_port_loop() {
  local a=$1 b=$2
  rm -f "$PORTS_DIR/com$a" "$PORTS_DIR/com$b"
  socat pty,raw,echo=0,link="$PORTS_DIR/com$a" pty,raw,echo=0,link="$PORTS_DIR/com$b" >/dev/null 2>&1 &
  local pid=$!
  wait_for_path "$PORTS_DIR/com$a" && wait_for_path "$PORTS_DIR/com$b"
  echo "$pid"
}

# wineserver must go before any pty peer does, or it floods stderr.
wine_stop() {
  wineserver -k >/dev/null 2>&1 || true
}
