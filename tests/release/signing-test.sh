#!/usr/bin/env bash
# The release's signing (scripts/lib/sign) with a throwaway certificate: the launcher and the
# installation builder get signatures that osslsigncode accepts against the test CA, a file
# changed by one byte after signing is refused, the password reaches no command line and no
# environment (neither osslsigncode's nor that of the programs scripts/release starts), and a
# time-stamp server that cannot be reached makes signing fail rather than ship unsigned.
#   signing-test.sh <build folder>
set -euo pipefail
build="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
sign="$here/../../scripts/lib/sign"
source "$here/lib.sh"

work="$build/release-tests/signing"
rm -rf "$work"
mkdir -p "$work/shim"
make_test_certificate "$work/cert"
cp "$build/bin/Velmora.exe" "$build/bin/mkinstall.exe" "$work/"

# In front of the real osslsigncode: notes every argument it is given and, when it signs, its
# environment (the test's own checks run it with the password in theirs).
cat > "$work/shim/osslsigncode" <<SHIM
#!/bin/sh
printf '%s\n' "\$@" >> "$work/arguments"
[ "\$1" != sign ] || env >> "$work/environments"
exec "$(command -v osslsigncode)" "\$@"
SHIM
# In front of cmake, the first program scripts/release starts after the set-up: notes its
# environment and stops the release.
cat > "$work/shim/cmake" <<SHIM
#!/bin/sh
env >> "$work/environments"
echo "cmake reached" >> "$work/cmake"
exit 1
SHIM
chmod +x "$work/shim/osslsigncode" "$work/shim/cmake"
export PATH="$work/shim:$PATH"

if output="$("$sign" "$work/Velmora.exe" "$work/mkinstall.exe" 2>&1)"; then pass "signed"; else fail "signing: $output"; fi
for file in Velmora.exe mkinstall.exe; do
    if signed_by_test_ca "$work/$file"; then pass "$file verifies"; else fail "$file does not verify"; fi
done
if [ ! -s "$work/arguments" ] || grep -qF -- "$VELMORA_SIGN_PASSWORD" "$work/arguments"; then
    fail "the password was on a command line (or osslsigncode was not run)"
else
    pass "the password was on no command line"
fi
case "$output" in *"$VELMORA_SIGN_PASSWORD"*) fail "the password was printed" ;; esac
# The set-up is skipped as when scripts/release runs itself again (it has run already).
VELMORA_I386_NS=1 VELMORA_RELEASE_BUILD_DIR="$work/release-build" VELMORA_DIST_DIR="$work/release-dist" \
    "$here/../../scripts/release" > "$work/release.out" 2>&1 || true
if [ ! -s "$work/cmake" ]; then
    fail "scripts/release did not reach cmake: $(cat "$work/release.out")"
elif grep -qF -- "$VELMORA_SIGN_PASSWORD" "$work/environments" "$work/release.out"; then
    fail "the password was in the environment of osslsigncode or of scripts/release's cmake"
else
    pass "the password was in the environment of neither osslsigncode nor scripts/release's cmake"
fi

cp "$work/Velmora.exe" "$work/changed.exe"
size=$(stat -c %s "$work/changed.exe")
byte=$(od -An -tu1 -j $((size / 2)) -N1 "$work/changed.exe" | tr -d ' ')
printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$work/changed.exe" bs=1 seek=$((size / 2)) conv=notrunc status=none
if cmp -s "$work/Velmora.exe" "$work/changed.exe"; then fail "the byte did not change"; fi
if signed_by_test_ca "$work/changed.exe"; then fail "a file changed after signing still verifies"; else pass "a changed file is refused"; fi

cp "$build/bin/Velmora.exe" "$work/stamped.exe"
if VELMORA_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/ "$sign" "$work/stamped.exe" >/dev/null 2>&1; then
    fail "signing reported success without the time stamp"
elif ! cmp -s "$build/bin/Velmora.exe" "$work/stamped.exe"; then
    fail "a file that could not be signed was changed"
elif ! grep -qx -- -ts "$work/arguments"; then
    fail "the time-stamp server was not asked"
else
    pass "an unreachable time-stamp server fails the signing"
fi
finish
