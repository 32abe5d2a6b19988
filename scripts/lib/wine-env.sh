# Shared by scripts/test, scripts/demo, the bench scripts and the build's wine-run:
# a dedicated Wine prefix inside the build tree, a Chinese locale (code page 936, as on
# the users' machines), a virtual display when there is none, a persistent wine server.

# --- Machines whose kernel cannot run 32-bit programs ---------------------------------
# Wine starts our 32-bit Windows programs through its i386 Linux loader, so the kernel must
# run i386 ELF programs. Some kernels are built without that ("Exec format error"). There
# scripts/setup keeps a private static qemu-i386, and the scripts that use Wine run
# themselves again under scripts/lib/i386-ns, which hands i386 programs to that qemu in a
# private namespace only. Where 32-bit programs run natively none of this is used.

# Where scripts/setup keeps the static qemu-i386: outside the build folder, so that a clean
# build does not fetch it again.
VELMORA_QEMU_I386="${VELMORA_QEMU_I386:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/velmora/qemu-i386}"

# True when this process can run an i386 program (the 32-bit dynamic loader is the
# smallest one at hand; it comes with wine32's C library).
velmora_i386_runs() {
    /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# Runs the calling script again under scripts/lib/i386-ns when 32-bit programs cannot run
# here; otherwise returns at once. Call as: velmora_i386_reenter "$0" "$@"
velmora_i386_reenter() {
    if velmora_i386_runs || [ -n "${VELMORA_I386_NS:-}" ]; then return 0; fi
    echo "this kernel cannot run 32-bit programs: running Wine through qemu-i386 in a private namespace" >&2
    exec "$(dirname "${BASH_SOURCE[0]}")/i386-ns" "$@"
}

# The Windows locale comes from the Linux one: zh_CN.UTF-8 (code page 936) unless
# VELMORA_WINE_LOCALE names another. Each other locale has a prefix of its own, since Wine
# rewrites a prefix's font substitutes whenever it is used under another code page.
velmora_wine_env() {   # <build dir>
    local build="$1"
    local locale="${VELMORA_WINE_LOCALE:-zh_CN.UTF-8}"
    if [ "$locale" = zh_CN.UTF-8 ]; then
        export WINEPREFIX="$build/wineprefix"
    else
        export WINEPREFIX="$build/wineprefix-$locale"
    fi
    export WINEDEBUG="${WINEDEBUG:--all}"
    # No Mono or Gecko install prompts; and no menu entries on the Linux desktop for the
    # shortcuts that the installer creates in the prefix.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export WINEARCH=win64
    export LANG="$locale" LC_ALL="$locale"
    unset LANGUAGE
}

# Starts Xvfb when no display is set; remembers its pid for velmora_wine_down.
velmora_display_up() {
    if [ -n "${DISPLAY:-}" ]; then return 0; fi
    local tmp; tmp="$(mktemp)"
    Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$tmp" >/dev/null 2>&1 &
    VELMORA_XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
        if [ -s "$tmp" ]; then break; fi
        sleep 0.1
    done
    if [ ! -s "$tmp" ]; then
        echo "could not start Xvfb" >&2; rm -f "$tmp"; return 1
    fi
    export DISPLAY=":$(head -n1 "$tmp" | tr -d '[:space:]')"
    rm -f "$tmp"
}

# Creates the prefix once (reused afterwards) and starts a persistent wine server.
velmora_wine_up() {   # <build dir>
    local build="$1"
    if ! velmora_i386_runs; then
        echo "Wine cannot run here: this kernel does not run 32-bit programs." >&2
        echo "  Run the command through scripts/lib/i386-ns (after scripts/setup), e.g. scripts/lib/i386-ns bash" >&2
        return 1
    fi
    velmora_wine_env "$build"
    velmora_display_up
    # The marker holds the version of this set-up: a prefix made by an earlier one is set up
    # again (the import below is idempotent).
    local setup_version=2
    if [ "$(cat "$WINEPREFIX/.velmora-ready" 2>/dev/null)" != "$setup_version" ]; then
        echo "creating the Wine prefix $WINEPREFIX (once)"
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        wineserver -w
        # Dialog and message-box fonts map to the CJK font the set-up installed, so
        # that the Chinese texts render as glyphs whatever Wine's defaults are. One
        # import rather than one 'reg add' per face: every Wine process start is costly,
        # very much so where 32-bit programs run through qemu.
        local face reg="$WINEPREFIX/fonts.reg"
        {
            printf '\xff\xfe'   # UTF-16LE byte order mark, as reg files with Chinese names need
            {
                printf 'Windows Registry Editor Version 5.00\r\n\r\n'
                printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
                for face in "MS Shell Dlg" "MS Shell Dlg 2" "SimSun" "SimHei" "Microsoft YaHei" "KaiTi" "楷体"; do
                    printf '"%s"="WenQuanYi Zen Hei"\r\n' "$face"
                done
                # Xvfb runs no window manager, so no window is managed: otherwise Wine's X11
                # driver waits up to 2 s, at every hide of a window with a taskbar button, for
                # a window manager to confirm it (Windows has no such wait).
                printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n'
            } | iconv -f UTF-8 -t UTF-16LE
        } > "$reg"
        wine reg import "Z:${reg//\//\\}" >/dev/null 2>&1   # Z: is the Unix root
        rm -f "$reg"
        wineserver -w
        echo "$setup_version" > "$WINEPREFIX/.velmora-ready"
    fi
    wineserver -p >/dev/null 2>&1 || true   # already running for this prefix: keep it
    # Start Wine's background services now, with their output detached: a service that
    # first starts under a test inherits the test's output pipe and keeps CTest waiting.
    wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
}

velmora_wine_down() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "${VELMORA_XVFB_PID:-}" ]; then
        kill "$VELMORA_XVFB_PID" 2>/dev/null || true
        wait "$VELMORA_XVFB_PID" 2>/dev/null || true
        unset VELMORA_XVFB_PID
    fi
}

velmora_configure_and_build() {   # <source dir> <build dir>
    cmake -S "$1" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$2" -j"$(nproc)"
}
