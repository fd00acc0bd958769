# Shared by scripts/run and scripts/test: set-up, build, and the Wine prefix in the build tree.
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

build_all() {
  local openssl
  openssl=$(ls -d "$deps_dir"/openssl-asm-i686-* 2>/dev/null | sort -V | tail -n 1)
  cmake -S "$repo" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-i686.cmake" \
    -DORNPM_OPENSSL_ROOT="$openssl" >/dev/null
  cmake --build "$build" -j"$(nproc)"
}

# A prefix of its own, made once per build tree: 64-bit, so the program runs under WoW64
# as on a current workstation; unmanaged windows, which close without a 2 s wait.
prepare_prefix() {
  if [ ! -f "$WINEPREFIX/.ornpm-ready" ]; then
    echo "preparing the Wine prefix in $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    LC_ALL=$wine_locale WINEARCH=win64 wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.ornpm-ready"
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
    WINEPREFIX=$copy wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
    WINEPREFIX=$copy wineserver -w
    touch "$copy/.ornpm-ready"
  fi
}
