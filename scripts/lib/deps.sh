# Installs what the builds and tests need, only what is missing (a warm machine skips it).
# Source it and call install_deps with the sets wanted: native, windows, fuzz, package.

_as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; elif command -v sudo >/dev/null 2>&1; then sudo "$@"; else
    echo "need root to install packages: $*" >&2
    return 1
  fi
}

_missing_packages() {
  local package missing=""
  for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing="$missing $package"
  done
  echo "$missing"
}

install_deps() {
  local packages="" set
  for set in "$@"; do
    case $set in
      native) packages="$packages cmake ninja-build g++ make googletest python3 socat coreutils libssl-dev nlohmann-json3-dev ser2net" ;;
      windows) packages="$packages nlohmann-json3-dev g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 fonts-wine xvfb imagemagick socat python3 locales ser2net" ;;
      fuzz) packages="$packages clang libclang-rt-14-dev" ;;
      # The Debian package's library dependencies (dpkg-shlibdeps), its check and the man pages'.
      package) packages="$packages dpkg-dev lintian man-db" ;;
    esac
  done
  # shellcheck disable=SC2086
  local missing
  missing=$(_missing_packages $packages)
  if [ -n "$missing" ]; then
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    _as_root apt-get update -q >/dev/null || return 1
    # shellcheck disable=SC2086
    _as_root apt-get install -y -q --no-install-recommends $missing >/dev/null || return 1
  fi
  case " $* " in
    *" windows "*) _install_locales ;;
  esac
}

# Wine follows LANG only for locales that were generated.
_install_locales() {
  local wanted="de_DE.utf8 fr_FR.utf8 it_IT.utf8 es_ES.utf8" have locale missing=0
  have=$(locale -a 2>/dev/null)
  for locale in $wanted; do
    echo "$have" | grep -qx "$locale" || missing=1
  done
  [ "$missing" = 0 ] && return 0
  _as_root sed -i -E 's/^# *(de_DE.UTF-8 UTF-8|fr_FR.UTF-8 UTF-8|it_IT.UTF-8 UTF-8|es_ES.UTF-8 UTF-8)/\1/' /etc/locale.gen
  _as_root locale-gen >/dev/null
}
