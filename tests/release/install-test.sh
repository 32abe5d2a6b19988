#!/usr/bin/env bash
# A release as scripts/release packs it (with a throwaway certificate), installed under Wine
# as a user would: the checksums hold, every signed file verifies against the test CA, the
# password is in no program's environment nor in the output, a silent install puts the
# installation under %LOCALAPPDATA%\Programs\Velmora with a Start-menu shortcut and a
# per-user uninstaller entry. While the installed launcher runs the main program, neither the
# entry's QuietUninstallString nor an upgrade changes anything, and both fail. Once the
# launcher has ended (killed, so the main program keeps its runnable name), the upgrade goes
# through, and the next start runs the new main program without extracting it again. The
# QuietUninstallString then removes the folder, the shortcut and the entry, and nothing
# outside the folder.
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

# The upgrade: an installer of the same launcher around another main program.
mkdir -p "$work/upgrade/bin"
cp "$build/bin/qorupd.exe" "$build/bin/Sevra.exe" "$build/bin/Kestrun.exe" "$work/upgrade/bin/"
printf 'the next version' >> "$work/upgrade/bin/Kestrun.exe"
{ velmora_make_installation "$dist/Velmora-$version" "$work/upgrade/bin" "$work/upgrade/Velmora" &&
    VELMORA_SIGN_PKCS12='' velmora_make_installer "$work/upgrade/Velmora" "$version" "$work/upgrade/upgrade.exe"; } \
    > "$work/upgrade.log" 2>&1 || { cat "$work/upgrade.log"; fail "the upgrade could not be packed"; finish; }

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
[ "$quiet" = "\"$installed_win\\uninstall.exe\" /S _?=$installed_win" ] || fail "QuietUninstallString: $quiet"
program="${quiet#\"}"; program="${program%%\"*}"
read -r -a arguments <<< "${quiet#\"$program\"}"

# --- while the launcher runs ---------------------------------------------------------------
runtimes=('HKLM\SOFTWARE\Microsoft\NET Framework Setup\NDP\v4\Full|Install|REG_DWORD|1'
          'HKLM\SOFTWARE\Microsoft\DevDiv\vc\Servicing\14.0\RuntimeMinimum|Version|REG_SZ|14.40.33810.0')
added=()
launcher=
cleanup() {
    [ -z "$launcher" ] || kill -KILL "$launcher" 2>/dev/null || true
    for entry in ${added[@]+"${added[@]}"}; do
        IFS='|' read -r key name <<< "$entry"
        wine reg delete "$key" /v "$name" /f /reg:32 >/dev/null 2>&1 || true
    done
}
trap cleanup EXIT
for entry in "${runtimes[@]}"; do
    IFS='|' read -r key name type data <<< "$entry"
    if ! wine reg query "$key" /v "$name" /reg:32 >/dev/null 2>&1; then
        wine reg add "$key" /v "$name" /t "$type" /d "$data" /f /reg:32 >/dev/null 2>&1
        added+=("$key|$name")
    fi
done
# Started directly: a launcher started through 'wine start' runs in a job and cannot start
# the main program in its own.
touch "$installed/kestrun.hold"
wine "$installed_win\\Velmora.exe" >/dev/null 2>&1 &
launcher=$!
for i in $(seq 1 240); do
    [ ! -s "$installed/kestrun.log" ] || break
    sleep 0.5
done
[ -s "$installed/kestrun.log" ] && pass "the installed launcher started the main program" ||
    { fail "the installed launcher did not start the main program"; finish; }

# Every file, with its identity, size and time: a file removed, replaced or rewritten shows.
folder_state() { (cd "$installed" && find . -printf '%P %i %s %T@\n' | LC_ALL=C sort); }
before="$(folder_state)"
refused() {   # <what> <command...>: fails, changing nothing, while the launcher runs on
    local what="$1" status=0 wrong=()
    shift
    "$@" >/dev/null 2>&1 || status=$?
    [ "$status" != 0 ] || wrong+=("reported success")
    [ "$(folder_state)" = "$before" ] || wrong+=("changed the folder")
    wine reg query "$uninstall_key" >/dev/null 2>&1 || wrong+=("removed the entry")
    [ -f "$shortcut" ] || wrong+=("removed the shortcut")
    kill -0 "$launcher" 2>/dev/null || wrong+=("ended the launcher")
    if [ ${#wrong[@]} = 0 ]; then
        pass "$what while the launcher runs: refused (exit code $status), nothing changed"
    else
        fail "$what while the launcher runs: $(IFS=,; echo "${wrong[*]}")"
    fi
}
refused "the silent uninstall" wine "$program" "${arguments[@]}"
refused "the silent upgrade" wine "$work/upgrade/upgrade.exe" /S

# The launcher ends without putting the main program's file back (killed; its job ends the
# main program): the file keeps its runnable name.
kill -KILL "$launcher"
wait "$launcher" 2>/dev/null || true
launcher=
rm -f "$installed/kestrun.hold" "$installed/kestrun.log" "$installed/CsBrevinApi.log"
[ -f "$installed/Kestrun.exe" ] && [ ! -e "$installed/kstcache" ] ||
    fail "the ended launcher left: $(ls "$installed" | tr '\n' ' ')"

# --- the upgrade, then the next start ------------------------------------------------------
if wine "$work/upgrade/upgrade.exe" /S; then pass "the silent upgrade after the launcher ended"; else fail "the upgrade failed"; fi
[ ! -e "$installed/Kestrun.exe" ] || fail "the upgrade left the old main program under its runnable name"
cmp -s "$installed/kstcache" "$work/upgrade/bin/Kestrun.exe" || fail "the upgrade did not install the new main program"
wine "$build/bin/boxdriver.exe" --timeout 60 -- "$installed_win\\Velmora.exe" > "$work/launcher.out" 2>&1 || true
pid="$(sed -n 's/^start pid=\([0-9]*\).*/\1/p' "$work/launcher.out")"
if grep -qx 'exit code=0' "$work/launcher.out" && ! grep -q '^box ' "$work/launcher.out" &&
    [ "$(grep -c ' exit=0 ' "$installed/kestrun.log" 2>/dev/null)" = 1 ]; then
    pass "the upgraded launcher ran the main program to a normal end"
else
    fail "the upgraded launcher: $(cat "$work/launcher.out")"
fi
run_lines="$(cat "$run_log.1" "$run_log" 2>/dev/null | grep -a "\[$pid\] " || true)"
if [ -z "$pid" ] || [ -z "$run_lines" ]; then
    fail "no run-log lines of the launcher (pid '$pid')"
elif grep -q "extraction of Kestrun.exe" <<< "$run_lines"; then
    fail "the next start extracted the main program again: $(grep "extraction of" <<< "$run_lines")"
else
    pass "the next start ran the new main program without extracting it again"
fi
cmp -s "$installed/kstcache" "$work/upgrade/bin/Kestrun.exe" || fail "after the run kstcache is not the new main program"
# Beyond what was installed, only the stand-ins' own records (a real installation has none):
# whatever else the launcher left there, the uninstaller would not know.
after_run="$(ls "$installed" | grep -vx -e kestrun.log -e CsBrevinApi.log | LC_ALL=C sort)"
[ "$after_run" = "$installed_files" ] || fail "after the run the folder holds: $(echo $after_run)"
rm -f "$installed/kestrun.log" "$installed/CsBrevinApi.log"

# --- uninstall ----------------------------------------------------------------------------
echo "kept" > "$outside"
[ -f "$run_log" ] || fail "no run log at $run_log"
# It waits for the outcome; its own file and the folder go once it has ended.
wine "$program" "${arguments[@]}" || fail "the uninstaller failed"
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
