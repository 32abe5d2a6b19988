# Shared by scripts/release and the release tests: what a release holds and how it is made
# from a build. The installation builder runs under Wine: call velmora_wine_up first.
#
# A release in <dist>, for version V:
#   Velmora-V/             Velmora.exe and mkinstall.exe (signed when a certificate is given),
#                          with the component libraries that mkinstall.exe puts into
#                          installations (never signed here: the launcher checks their digests)
#   Velmora-V-symbols/     Velmora.exe.debug, the launcher's symbols
#   Velmora-V-setup.exe    the installer (and its uninstaller) of an installation with that
#                          launcher, signed like it
#   UNSIGNED.txt           only when no certificate was given
#   SHA256SUMS             of every other file, for sha256sum -c in <dist>
# Signing: scripts/lib/sign, which reads the certificate from the environment; the password
# only through velmora_sign (below).

# With the shell's own means: scripts/release sources this before the signing password is
# out of the environment.
case "${BASH_SOURCE[0]}" in
    */*) VELMORA_RELEASE_LIB="$(cd "${BASH_SOURCE[0]%/*}" && pwd)" ;;
    *) VELMORA_RELEASE_LIB="$PWD" ;;
esac

# --- The signing password -------------------------------------------------------------
# VELMORA_SIGN_PASSWORD reaches the signing step and nothing else. Every program inherits
# its parent's environment, and a program's environment can be read by other processes of
# the user (/proc/<pid>/environ) for as long as it runs: held in the environment, the
# password would reach cmake, the compilers, makensis, Wine and whatever they start.

# Moves the password out of the environment (or, in an instance started by
# velmora_sign_password_pass_on, out of its pipe) into a variable of this shell alone, for
# velmora_sign. Call it before this shell starts any program; calling it again keeps what it
# holds.
velmora_sign_password_hold() {
    if [ -n "${VELMORA_SIGN_PASSWORD_FD:-}" ]; then
        unset velmora_sign_password
        IFS= read -r -d '' velmora_sign_password <&"$VELMORA_SIGN_PASSWORD_FD" || true
        exec {VELMORA_SIGN_PASSWORD_FD}<&-
        unset VELMORA_SIGN_PASSWORD_FD
    elif [ -n "${VELMORA_SIGN_PASSWORD+set}" ]; then
        unset velmora_sign_password   # never exported, whatever it was before
        velmora_sign_password="$VELMORA_SIGN_PASSWORD"
    fi
    unset VELMORA_SIGN_PASSWORD
}

# Before this script may run itself again in place (exec, as velmora_i386_reenter does): the
# password crosses to the new instance through a pipe, whose end only the new instance reads
# (velmora_sign_password_hold). When no exec followed, velmora_sign_password_withdraw closes
# the pipe, so that no child inherits it.
velmora_sign_password_pass_on() {
    [ -n "${velmora_sign_password+set}" ] || return 0
    exec {VELMORA_SIGN_PASSWORD_FD}< <(printf '%s' "$velmora_sign_password")
    export VELMORA_SIGN_PASSWORD_FD
}

velmora_sign_password_withdraw() {
    [ -n "${VELMORA_SIGN_PASSWORD_FD:-}" ] || return 0
    exec {VELMORA_SIGN_PASSWORD_FD}<&-
    unset VELMORA_SIGN_PASSWORD_FD
}

# The signing step (scripts/lib/sign): the one program that is given the password.
velmora_sign() {   # FILE...
    if [ -n "${velmora_sign_password+set}" ]; then
        VELMORA_SIGN_PASSWORD="$velmora_sign_password" "$VELMORA_RELEASE_LIB/sign" "$@"
    else
        "$VELMORA_RELEASE_LIB/sign" "$@"
    fi
}

# The version of the build in <build dir>: the CMake project version.
velmora_build_version() {   # <build dir>
    sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

# Prints the NSIS macros VelmoraInstallFiles and VelmoraUninstallFiles for the files of a
# flat installation folder.
velmora_installer_file_list() {   # <installation folder>
    local dir="$1" name names
    names="$(find "$dir" -mindepth 1 -maxdepth 1 -printf '%P\n' | LC_ALL=C sort)"
    [ -n "$names" ] || { echo "release: $dir is empty" >&2; return 1; }
    while IFS= read -r name; do
        if [ ! -f "$dir/$name" ]; then
            echo "release: $dir/$name is not a plain file; installation folders hold files only" >&2
            return 1
        fi
    done <<< "$names"
    # NSIS reads '$' as the start of a variable: '$$' is a plain dollar sign.
    echo '!macro VelmoraInstallFiles'
    while IFS= read -r name; do echo "  File \"${dir//\$/\$\$}/${name//\$/\$\$}\""; done <<< "$names"
    echo '!macroend'
    echo '!macro VelmoraUninstallFiles'
    while IFS= read -r name; do echo "  Delete \"\$INSTDIR\\${name//\$/\$\$}\""; done <<< "$names"
    echo '!macroend'
}

# Wraps an installation folder into an installer; its uninstaller is signed on the way when a
# certificate is given. The installer itself is left for the caller to sign.
velmora_make_installer() {   # <installation folder> <version> <output .exe>
    local dir="$1" version="$2" out="$3" work status=0
    local script="$VELMORA_RELEASE_LIB/../../installer/Velmora.nsi"
    work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-installer.XXXXXX")"
    velmora_installer_file_list "$dir" > "$work/files.nsh" || { rm -rf "$work"; return 1; }
    local args=(-V2 -WX "-DVERSION=$version" "-DFILES=$work/files.nsh")
    if [ -n "${VELMORA_SIGN_PKCS12:-}" ]; then
        # makensis would sign the uninstaller through a command of its own, and so hold the
        # password: a first pass writes the uninstaller alone, it is signed here, and the
        # installer takes the signed file.
        makensis "${args[@]}" "-DOUTFILE=$work/first-pass.exe" "-DUNINSTALLER_OUT=$work/uninstall.exe" "$script" &&
            velmora_sign "$work/uninstall.exe" &&
            makensis "${args[@]}" "-DOUTFILE=$out" "-DUNINSTALLER_IN=$work/uninstall.exe" "$script" || status=$?
    else
        makensis "${args[@]}" "-DOUTFILE=$out" "$script" || status=$?
    fi
    rm -rf "$work"
    return "$status"
}

# Builds a demo installation with the installation builder in <builder> (beside it: the
# launcher and the component) around the stand-in programs of the build in <bin>: the main
# program Kestrun.exe, the updater qorupd.exe and the service window Sevra.exe.
velmora_make_installation() {   # <builder folder> <bin> <output folder>
    local builder="$1" bin="$2" out="$3" stage output
    stage="$(mktemp -d "${TMPDIR:-/tmp}/velmora-builder.XXXXXX")"
    cp "$builder"/* "$bin/qorupd.exe" "$bin/Sevra.exe" "$stage/" || { rm -rf "$stage"; return 1; }
    rm -rf "$out"
    if ! output="$(wine "$stage/mkinstall.exe" "$(winepath -w "$bin/Kestrun.exe")" "$(winepath -w "$out")" 2>&1)"; then
        echo "release: the installation builder failed:" >&2
        printf '%s\n' "$output" | iconv -f gbk -t utf-8 >&2 || true
        rm -rf "$stage"
        return 1
    fi
    rm -rf "$stage"
}

# A copy of the vendor's installation folder with the release's launcher in it. Its component
# libraries must be the ones this launcher was built against (it checks their digests).
velmora_take_installation() {   # <builder folder> <vendor's installation folder> <output folder>
    local builder="$1" from="$2" out="$3" name
    for name in CsBrevinLab.dll CsBrevinApi.dll; do
        if ! cmp -s "$builder/$name" "$from/$name"; then
            echo "release: $from/$name is not the component this launcher was built against" \
                 "(build with VELMORA_COMPONENT_DIR naming the folder of the installation's libraries)" >&2
            return 1
        fi
    done
    rm -rf "$out"
    cp -r "$from" "$out" && cp "$builder/Velmora.exe" "$out/Velmora.exe"
}

# Writes the release of the build whose binaries are in <bin> into <dist> (replacing it). The
# installer wraps the vendor's installation folder when one is given, else a demo
# installation around the stand-in programs. Takes the signing password out of the caller's
# environment (velmora_sign_password_hold).
velmora_release_package() {   # <bin> <dist> <version> [<vendor's installation folder>]
    local bin="$1" dist="$2" version="$3" vendor="${4:-}"
    velmora_sign_password_hold
    local name="Velmora-$version"
    local builder="$dist/$name" work
    rm -rf "$dist"
    mkdir -p "$builder" "$dist/$name-symbols" &&
        cp "$bin/Velmora.exe" "$bin/mkinstall.exe" "$bin/CsBrevinLab.dll" "$bin/CsBrevinApi.dll" "$builder/" &&
        cp "$bin/Velmora.exe.debug" "$dist/$name-symbols/" &&
        velmora_sign "$builder/Velmora.exe" "$builder/mkinstall.exe" || return 1

    work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-release.XXXXXX")"
    if [ -n "$vendor" ]; then
        velmora_take_installation "$builder" "$vendor" "$work/Velmora"
    else
        velmora_make_installation "$builder" "$bin" "$work/Velmora"
    fi &&
        velmora_make_installer "$work/Velmora" "$version" "$dist/$name-setup.exe" &&
        velmora_sign "$dist/$name-setup.exe" || { rm -rf "$work"; return 1; }
    rm -rf "$work"
    if [ -z "${VELMORA_SIGN_PKCS12:-}" ]; then
        echo "release: UNSIGNED: no certificate given (VELMORA_SIGN_PKCS12); nothing in $dist is signed" >&2
        printf '%s\r\n' "This release of Velmora $version is not signed: it was made without a certificate." \
            "Windows SmartScreen and antivirus programs may warn about or block its programs." > "$dist/UNSIGNED.txt"
    fi
    (cd "$dist" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs -d '\n' sha256sum > SHA256SUMS) ||
        return 1
}
