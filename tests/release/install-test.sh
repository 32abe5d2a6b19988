#!/usr/bin/env bash
# A release as scripts/release packs it (with a throwaway certificate), installed under Wine
# as a user would: the checksums hold, every signed file verifies against the test CA, the
# password is in no program's environment nor in the output, a silent install puts the
# installation under %LOCALAPPDATA%\Programs\Velmora with a Start-menu shortcut and a
# per-user uninstaller entry, the installed (signed) launcher runs the stand-in main program
# to a normal end, and the entry's QuietUninstallString removes the folder, the shortcut and
# the entry, and nothing outside the folder.
#   install-test.sh <build folder>      (the build's Wine server and display already up)
set -euo pipefail
build="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/../../scripts/lib/wine-env.sh"
source "$here/../../scripts/lib/release.sh"
source "$here/lib.sh"
velmora_wine_env "$build"

uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora'
win_folder() { winepath -u "$(wine cmd.exe /c echo "%$1%" | tr -d '\r')"; }
local_app="$(win_folder LOCALAPPDATA)"
installed="$local_app/Programs/Velmora"
shortcut="$(win_folder APPDATA)/Microsoft/Windows/Start Menu/Programs/Velmora.lnk"
outside="$local_app/Programs/not-velmora.txt"
run_log="$local_app/Velmora/launcher.log"

work="$build/release-tests/install"
rm -rf "$work" "$installed" "$shortcut"
wine reg delete "$uninstall_key" /f >/dev/null 2>&1 || true
mkdir -p "$work/shim" "$work/environments"
make_test_certificate "$work/cert"
password="$VELMORA_SIGN_PASSWORD"   # the release takes it out of the environment

# --- the release --------------------------------------------------------------------------
# In front of the programs the release starts (Wine also for the programs it runs): each
# notes its environment.
for name in makensis wine osslsigncode; do
    printf '#!/bin/sh\nenv > "%s/%s.$$"\nexec "%s" "$@"\n' "$work/environments" "$name" "$(command -v "$name")" \
        > "$work/shim/$name"
    chmod +x "$work/shim/$name"
done
version="$(velmora_build_version "$build")"
dist="$work/dist"
PATH="$work/shim:$PATH" velmora_release_package "$build/bin" "$dist" "$version" > "$work/package.log" 2>&1 ||
    { cat "$work/package.log"; fail "the release could not be packed"; finish; }
setup="$dist/Velmora-$version-setup.exe"
if (cd "$dist" && sha256sum --quiet -c SHA256SUMS); then pass "SHA256SUMS holds"; else fail "SHA256SUMS"; fi
[ ! -e "$dist/UNSIGNED.txt" ] || fail "a signed release says it is unsigned"
for file in "Velmora-$version/Velmora.exe" "Velmora-$version/mkinstall.exe" "Velmora-$version-setup.exe"; do
    signed_by_test_ca "$dist/$file" && pass "$file verifies" || fail "$file does not verify"
done
for name in makensis wine osslsigncode; do
    compgen -G "$work/environments/$name.*" >/dev/null || fail "the release did not run $name"
done
if grep -rqF -- "$password" "$work/environments" "$work/package.log"; then
    fail "the password was in: $(grep -rlF -- "$password" "$work/environments" "$work/package.log" | tr "\n" " ")"
else
    pass "the password was in no program's environment and not in the output"
fi

# --- install ------------------------------------------------------------------------------
if wine "$setup" /S; then pass "silent install"; else fail "the installer failed"; fi
installed_files="$(ls "$installed" 2>/dev/null | LC_ALL=C sort)"
[ -f "$shortcut" ] && pass "Start-menu shortcut" || fail "no Start-menu shortcut at $shortcut"
for file in Velmora.exe uninstall.exe; do
    signed_by_test_ca "$installed/$file" && pass "installed $file verifies" || fail "installed $file does not verify"
done
reg_value() { wine reg query "$uninstall_key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"; }
[ "$(reg_value DisplayName)" = Velmora ] || fail "DisplayName is '$(reg_value DisplayName)'"
installed_win="$(winepath -w "$installed")"
[ "$(reg_value UninstallString)" = "\"$installed_win\\uninstall.exe\"" ] || fail "UninstallString: $(reg_value UninstallString)"
quiet="$(reg_value QuietUninstallString)"
[ "$quiet" = "\"$installed_win\\uninstall.exe\" /S" ] || fail "QuietUninstallString: $quiet"

# --- the installed launcher runs the main program ------------------------------------------
runtimes=('HKLM\SOFTWARE\Microsoft\NET Framework Setup\NDP\v4\Full|Install|REG_DWORD|1'
          'HKLM\SOFTWARE\Microsoft\DevDiv\vc\Servicing\14.0\RuntimeMinimum|Version|REG_SZ|14.40.33810.0')
added=()
for entry in "${runtimes[@]}"; do
    IFS='|' read -r key name type data <<< "$entry"
    if ! wine reg query "$key" /v "$name" /reg:32 >/dev/null 2>&1; then
        wine reg add "$key" /v "$name" /t "$type" /d "$data" /f /reg:32 >/dev/null 2>&1
        added+=("$key|$name")
    fi
done
wine "$build/bin/boxdriver.exe" --timeout 60 -- "$installed_win\\Velmora.exe" > "$work/launcher.out" 2>&1 || true
for entry in ${added[@]+"${added[@]}"}; do
    IFS='|' read -r key name <<< "$entry"
    wine reg delete "$key" /v "$name" /f /reg:32 >/dev/null 2>&1 || true
done
if grep -qx 'exit code=0' "$work/launcher.out" && ! grep -q '^box ' "$work/launcher.out" &&
    [ "$(grep -c ' exit=0 ' "$installed/kestrun.log" 2>/dev/null)" = 1 ]; then
    pass "the installed launcher ran the main program to a normal end"
else
    fail "the installed launcher: $(cat "$work/launcher.out")"
fi
# Beyond what was installed, only the stand-ins' own records (a real installation has none):
# whatever else the launcher left there, the uninstaller would not know.
after_run="$(ls "$installed" | grep -vx -e kestrun.log -e CsBrevinApi.log | LC_ALL=C sort)"
[ "$after_run" = "$installed_files" ] || fail "after the run the folder holds: $(echo $after_run)"
rm -f "$installed/kestrun.log" "$installed/CsBrevinApi.log"

# --- uninstall ----------------------------------------------------------------------------
echo "kept" > "$outside"
[ -f "$run_log" ] || fail "no run log at $run_log"
program="${quiet#\"}"; program="${program%%\"*}"
arguments="${quiet#\"$program\"}"
# The uninstaller runs a copy of itself from the temporary folder and returns at once.
wine "$program" $arguments || fail "the uninstaller failed"
for i in $(seq 1 120); do
    [ -e "$installed" ] || break
    sleep 0.5
done
if [ -e "$installed" ]; then fail "the folder is still there: $(ls "$installed")"; else pass "the folder is gone"; fi
[ -e "$shortcut" ] && fail "the shortcut is still there" || pass "the shortcut is gone"
if wine reg query "$uninstall_key" >/dev/null 2>&1; then fail "the uninstaller entry is still there"; fi
[ -f "$outside" ] && [ -f "$run_log" ] && pass "nothing outside the folder was touched" ||
    fail "a file outside the folder went"
rm -f "$outside"
finish
