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
# Signing: scripts/lib/sign, which reads the certificate from the environment.

VELMORA_RELEASE_LIB="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

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
    local dir="$1" version="$2" out="$3" list status=0
    list="$(mktemp "${TMPDIR:-/tmp}/velmora-files.XXXXXX.nsh")"
    velmora_installer_file_list "$dir" > "$list" || { rm -f "$list"; return 1; }
    local args=(-V2 -WX "-DVERSION=$version" "-DFILES=$list" "-DOUTFILE=$out")
    if [ -n "${VELMORA_SIGN_PKCS12:-}" ]; then args+=("-DSIGN=$VELMORA_RELEASE_LIB/sign"); fi
    makensis "${args[@]}" "$VELMORA_RELEASE_LIB/../../installer/Velmora.nsi" || status=$?
    rm -f "$list"
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
# installation around the stand-in programs.
velmora_release_package() {   # <bin> <dist> <version> [<vendor's installation folder>]
    local bin="$1" dist="$2" version="$3" vendor="${4:-}"
    local name="Velmora-$version"
    local builder="$dist/$name" work
    rm -rf "$dist"
    mkdir -p "$builder" "$dist/$name-symbols" &&
        cp "$bin/Velmora.exe" "$bin/mkinstall.exe" "$bin/CsBrevinLab.dll" "$bin/CsBrevinApi.dll" "$builder/" &&
        cp "$bin/Velmora.exe.debug" "$dist/$name-symbols/" &&
        "$VELMORA_RELEASE_LIB/sign" "$builder/Velmora.exe" "$builder/mkinstall.exe" || return 1

    work="$(mktemp -d "${TMPDIR:-/tmp}/velmora-release.XXXXXX")"
    if [ -n "$vendor" ]; then
        velmora_take_installation "$builder" "$vendor" "$work/Velmora"
    else
        velmora_make_installation "$builder" "$bin" "$work/Velmora"
    fi &&
        velmora_make_installer "$work/Velmora" "$version" "$dist/$name-setup.exe" &&
        "$VELMORA_RELEASE_LIB/sign" "$dist/$name-setup.exe" || { rm -rf "$work"; return 1; }
    rm -rf "$work"
    if [ -z "${VELMORA_SIGN_PKCS12:-}" ]; then
        echo "release: UNSIGNED: no certificate given (VELMORA_SIGN_PKCS12); nothing in $dist is signed" >&2
        printf '%s\r\n' "This release of Velmora $version is not signed: it was made without a certificate." \
            "Windows SmartScreen and antivirus programs may warn about or block its programs." > "$dist/UNSIGNED.txt"
    fi
    (cd "$dist" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs -d '\n' sha256sum > SHA256SUMS) ||
        return 1
}
