# Shared by the scripts: set-up, build, and the Wine prefix in the build tree.
# shellcheck shell=bash

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ORNPM_BUILD_DIR:-$repo/build}
deps_dir=${ORNPM_DEPS_DIR:-/var/cache/ornpm}

# Wine under this locale gives the program the Russian ANSI code page 1251.
wine_locale=ru_RU.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$build/wineprefix"

ensure_setup() {
  "$repo/scripts/setup"
}

# Runs a set-up command quietly; when it fails, says what failed and shows the end of its
# output. The output goes to a file: processes that Wine starts may keep a pipe open.
quietly() {  # description, command...
  local what=$1 log status=0
  shift
  log=$(mktemp)
  "$@" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    echo "$what failed (exit code $status): $*" >&2
    tail -n 30 "$log" >&2
    rm -f "$log"
    exit 1
  fi
  rm -f "$log"
}

build_all() {
  local openssl
  openssl=$(ls -d "$deps_dir"/openssl-asm-i686-* 2>/dev/null | sort -V | tail -n 1)
  cmake -S "$repo" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" \
    -DORNPM_OPENSSL_ROOT="$openssl" >/dev/null
  cmake --build "$build" -j"$(nproc)"
}

# A prefix of its own, made once per build tree and Wine version: 64-bit, so the program runs under
# WoW64 as on a current workstation; unmanaged windows, which close without a 2 s wait.
prepare_prefix() {
  local version
  version=$(wine --version)
  if [ "$(cat "$WINEPREFIX/.ornpm-ready" 2>/dev/null)" != "$version" ]; then
    echo "preparing the Wine prefix in $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    quietly "making the Wine prefix (wineboot)" env LC_ALL=$wine_locale WINEARCH=win64 wine wineboot -i
    quietly "setting unmanaged windows (reg)" \
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    quietly "waiting for the prefix's processes to end (wineserver)" wineserver -w
    echo "$version" >"$WINEPREFIX/.ornpm-ready"
  fi
}

# A copy of the prefix that shows everything at 144 DPI (150 %), for the window tests and
# the screenshots; made again whenever the prefix is.
prepare_prefix_144() {
  local copy="$build/wineprefix-144"
  if [ ! -f "$copy/.ornpm-ready" ] || [ "$WINEPREFIX/.ornpm-ready" -nt "$copy/.ornpm-ready" ]; then
    echo "preparing the 144-DPI Wine prefix in $copy"
    rm -rf "$copy"
    cp -a "$WINEPREFIX" "$copy"
    rm -f "$copy/.ornpm-ready"
    WINEPREFIX=$copy quietly "setting 144 DPI (reg)" \
      wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f
    WINEPREFIX=$copy quietly "waiting for the prefix's processes to end (wineserver)" wineserver -w
    cp "$WINEPREFIX/.ornpm-ready" "$copy/.ornpm-ready"
  fi
}
