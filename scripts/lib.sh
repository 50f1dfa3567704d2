# Shared by scripts/build and scripts/test: package set-up and the run's own Wine prefix.
# shellcheck shell=bash

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The compiler cache stays in the user's own home, which wine_env later moves.
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}

APT=(apt-get -o APT::Sandbox::User=root -q -y)
PACKAGES=(g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 mingw-w64-tools cmake ninja-build
          googletest wine wine32:i386 libwine-dev:i386 dpkg-dev)

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# Installs whatever of the build and test set is missing; also enables Debian's
# source packages, which the build unpacks for Lua, libarchive and UnRAR.
ensure_packages() {
  local missing=() p
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    missing=(update)
  fi
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  # Source entries only: main for Lua and libarchive, non-free for the official UnRAR
  # source (unrar-nonfree). No binary package is taken from non-free.
  local src=/etc/apt/sources.list.d/debian-src.sources
  # An entry of ours from before the non-free source was needed is rewritten.
  if [ -e "$src" ] && ! grep -q '^Components:.*non-free' "$src"; then
    as_root rm -f "$src"
  fi
  if [ ! -e "$src" ] && ! grep -rqs '^deb-src .* non-free\( \|$\)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    as_root tee "$src" >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main non-free
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

# 32-bit Linux programs (Wine's loader and server) must run. Some virtual machines run
# 64-bit user code only; there the i386 programs go through Debian's user-mode emulator,
# registered with binfmt_misc. Bookworm's qemu 7.2 takes about a minute to start each Wine
# process (page flags kept per page over Wine's reserved address space); the qemu of
# Debian 13 starts one in well under a second, so that one is used, taken from Debian's
# archive into /usr/local/lib/installer-client.
QEMU_I386=/usr/local/lib/installer-client/qemu-i386
ensure_i386_exec() {
  local probe
  probe=$(mktemp)
  # A minimal static i386 program: exit(42).
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
  chmod +x "$probe"
  local rc=0
  "$probe" 2>/dev/null || rc=$?
  if [ "$rc" = 42 ]; then
    rm -f "$probe"
    # Tests that depend on what only real 32-bit execution does can tell they run emulated.
    if grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then export INSTALLER_TESTS_EMULATED=1; fi
    return 0
  fi
  echo "== this machine runs no 32-bit programs: registering a user-mode emulator for them"
  if [ ! -x "$QEMU_I386" ]; then
    local tmp
    tmp=$(mktemp -d)
    mkdir -p "$tmp/lists/partial"
    echo "deb http://deb.debian.org/debian trixie main" >"$tmp/sources.list"
    local opts=(-o Dir::Etc::sourcelist="$tmp/sources.list" -o Dir::Etc::sourceparts=- -o Dir::State::Lists="$tmp/lists"
                -o APT::Sandbox::User=root -q)
    as_root apt-get "${opts[@]}" update >/dev/null
    (cd "$tmp" && as_root apt-get "${opts[@]}" download qemu-user >/dev/null)
    dpkg-deb -x "$tmp"/qemu-user_*.deb "$tmp/x"
    as_root install -D -m 755 "$tmp/x/usr/bin/qemu-i386" "$QEMU_I386"
    rm -rf "$tmp"
  fi
  local misc=/proc/sys/fs/binfmt_misc
  [ -e "$misc/register" ] || as_root mount -t binfmt_misc binfmt_misc "$misc"
  [ -e "$misc/qemu-i386" ] && echo -1 | as_root tee "$misc/qemu-i386" >/dev/null
  printf '%s' ":qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$QEMU_I386:F" \
    | as_root tee "$misc/register" >/dev/null
  rc=0
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" = 42 ] || { echo "32-bit programs still can't run (exit $rc)" >&2; return 1; }
  export INSTALLER_TESTS_EMULATED=1
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
  # Wine names files on the host in the host locale's character set: outside UTF-8 (a bare
  # C locale, as on many build machines) names outside ASCII cannot be created at all.
  if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then export LC_ALL=C.UTF-8; fi
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
  local build=$1 type=$2 launcher=()
  # A compiler cache, when the machine has one, shared by every checkout of the tree.
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$ROOT"
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${launcher[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
}
