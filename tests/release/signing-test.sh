#!/usr/bin/env bash
# The release's signing (scripts/lib/sign) with a throwaway certificate: the launcher and the
# installation builder get signatures that osslsigncode accepts against the test CA, a file
# changed by one byte after signing is refused, the password reaches no command line, and a
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

# In front of the real osslsigncode: notes every argument it is given.
cat > "$work/shim/osslsigncode" <<SHIM
#!/bin/sh
printf '%s\n' "\$@" >> "$work/arguments"
exec "$(command -v osslsigncode)" "\$@"
SHIM
chmod +x "$work/shim/osslsigncode"
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
