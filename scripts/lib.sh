# Shared by scripts/build and scripts/test: package set-up and the run's own Wine prefix.
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

APT=(apt-get -o APT::Sandbox::User=root -q -y)
PACKAGES=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-tools cmake ninja-build
          googletest wine wine32:i386 libwine-dev:i386 dpkg-dev)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# Installs whatever of the build and test set is missing; also enables Debian's
# source packages, which the build unpacks for Lua and libarchive.
ensure_packages() {
  local missing=() p
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    missing=(update)
  fi
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  local src=/etc/apt/sources.list.d/debian-src.sources
  if [ ! -e "$src" ] && ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    as_root tee "$src" >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    missing+=(update)
  fi
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing missing packages: ${missing[*]}"
  as_root "${APT[@]}" update >/dev/null
  local pk=()
  for p in "${missing[@]}"; do [ "$p" = update ] || pk+=("$p"); done
  [ ${#pk[@]} -eq 0 ] || DEBIAN_FRONTEND=noninteractive as_root "${APT[@]}" install --no-install-recommends "${pk[@]}" >/dev/null
}

# The Wine environment of one build folder: its own prefix, HOME and no graphics.
wine_env() {
  mkdir -p "$1"
  local build
  build=$(cd "$1" && pwd)
  export WINEPREFIX="$build/wineprefix" WINEARCH=win32 WINEDEBUG=-all
  export HOME="$build/winehome"
  export WINEDLLOVERRIDES="mscoree=;winemenubuilder.exe=d"
  unset DISPLAY WAYLAND_DISPLAY
  mkdir -p "$HOME"
}

# Creates the prefix once, selects the null graphics driver and silences audio,
# then leaves a warm wineserver so tests start fast.
wine_prepare() {
  wineserver -k 2>/dev/null || true
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "== creating Wine prefix $WINEPREFIX"
    timeout 300 wine wineboot -i </dev/null >/dev/null 2>&1 || true
    timeout 120 wineserver -w || true
    timeout 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    timeout 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f </dev/null >/dev/null 2>&1
    timeout 120 wineserver -w || true
  fi
  # No debugger for crashing programs: winedbg would wait forever without a display.
  timeout 60 wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
    </dev/null >/dev/null 2>&1 || true
  timeout 120 wineserver -w || true
  wineserver -p </dev/null >/dev/null 2>&1
  timeout 120 wine wineboot </dev/null >/dev/null 2>&1 || true
}

wine_stop() { wineserver -k 2>/dev/null || true; }

configure_build() {
  local build=$1 type=$2
  cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$type" \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
}
