# Shared by tools/run and tools/test: installs what the build needs, builds
# Vorlik.exe and its tests, and starts or stops a private Wine environment.
# Sourced, not run; expects $ROOT to be the repository root.

# build/ holds the 32-bit Vorlik.exe and its tests. Where this kernel cannot
# run 32-bit programs at all (booted with its ia32 emulation off, so wine32
# fails with "Exec format error"), the same sources are also built for 64-bit
# Windows in build/win64 and that build is what runs, under wine64: the
# program can still be used and tested there. select_target picks; $BUILD,
# $WINE and $WINE_ARCH then name the build that runs.
BUILD32=${VORLIK_BUILD:-$ROOT/build}
BUILD=$BUILD32
WINE=wine
WINE_ARCH=win32
APT_PACKAGES="g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
  binutils-mingw-w64-i686 wine wine32:i386 wine64 xvfb xauth googletest cmake make python3
  fonts-dejavu-core"
APT_PACKAGES_WIN64="g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  binutils-mingw-w64-x86-64"

say() { printf '%s\n' "$*" >&2; }

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs every missing Debian package in one apt run (quick when nothing is
# missing). i386 multiarch is enabled first, since wine32 lives there.
ensure_packages() {
    local missing="" p
    for p in $APT_PACKAGES "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    say "Installing:$missing"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386
    fi
    as_root apt-get update -q >/dev/null
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing >/dev/null
}

# Call after ensure_packages.
select_target() {
    /usr/lib/wine/wine --version >/dev/null 2>&1 && return 0
    say "This kernel does not run 32-bit programs (ia32 emulation is off): the 32-bit"
    say "Vorlik.exe is built, and the same sources built for 64-bit Windows run under wine64."
    ensure_packages $APT_PACKAGES_WIN64
    BUILD=$BUILD32/win64
    WINE=/usr/lib/wine/wine64
    WINE_ARCH=win64
}

# build_tree DIR BITS [TARGET...]; a 64-bit tree's tests also check the
# imports of the 32-bit Vorlik.exe, the one that ships.
build_tree() {
    local dir=$1 bits=$2 shipped=
    shift 2
    [ "$bits" = 64 ] && shipped="-DVORLIK_EXE32=$BUILD32/bin/Vorlik.exe"
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$ROOT" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$ROOT/tools/mingw$bits-toolchain.cmake" \
              -DCMAKE_BUILD_TYPE=Release $shipped >/dev/null
    fi
    cmake --build "$dir" -j "$(nproc)" -- --no-print-directory "$@"
}

# Builds what runs. When that is the 64-bit tree, the 32-bit one builds only
# Vorlik.exe, the exe that ships: its tests and tools could not run here.
build_all() {
    if [ "$WINE_ARCH" = win32 ]; then
        build_tree "$BUILD32" 32 "$@"
    else
        build_tree "$BUILD32" 32 Vorlik
        build_tree "$BUILD" 64 "$@"
    fi
}

# --- private Wine environment -------------------------------------------------
# Everything lives under $ENV_DIR: the Xvfb display, its PID and the prefix.
# A user's own WINEPREFIX and DISPLAY are never used.

wine_env_vars() {
    export WINEPREFIX="$1" WINEARCH=$WINE_ARCH WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

# Starts Xvfb on the first free display from :90 on; sets DISPLAY, XVFB_PID.
start_xvfb() {
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
    done
    export DISPLAY=":$n"
}

# Starts a persistent wineserver for $WINEPREFIX and creates the prefix once.
start_wineserver() {
    local fresh=0
    [ -f "$WINEPREFIX/.vorlik-prefix-4" ] || fresh=1
    if [ "$fresh" = 1 ]; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
    fi
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    wineserver -p </dev/null >/dev/null 2>&1
    if [ "$fresh" = 1 ]; then
        say "Creating the Wine prefix $WINEPREFIX (once)"
        "$WINE" wineboot -i </dev/null >/dev/null 2>&1
        # Without a window manager every window close waits for one; unmanaged
        # windows close at once.
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
        # A crashing test exe ends with a backtrace instead of waiting on a
        # crash dialog that nobody will close.
        "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
            </dev/null >/dev/null 2>&1
        touch "$WINEPREFIX/.vorlik-prefix-4"
    else
        "$WINE" wineboot </dev/null >/dev/null 2>&1
    fi
    # The desktop's own process, started here with nothing inherited: else
    # the first window of each test starts it, it inherits the test's output
    # and CTest waits a second for it to go after every test.
    "$WINE" explorer /desktop </dev/null >/dev/null 2>&1 &
}

stop_wine_env() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    rm -f "$BUILD/test-env/display"
}
