# Shared by the release tests (bash, run by CTest directly): checks that say what they saw,
# and a throwaway certificate authority with a code-signing certificate.

velmora_test_failures=0
pass() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; velmora_test_failures=$((velmora_test_failures + 1)); }
# Exits with the outcome; call last.
finish() {
    if [ "$velmora_test_failures" -ne 0 ]; then echo "$velmora_test_failures check(s) failed"; exit 1; fi
    echo "all checks passed"
}

# A CA and a code-signing certificate it issued, valid for two days, in <folder>: ca.pem and
# signer.p12 protected by a password. Exports what scripts/lib/sign reads and TEST_CA.
make_test_certificate() {   # <folder>
    local dir="$1"
    mkdir -p "$dir"
    export VELMORA_SIGN_PASSWORD="test pass $RANDOM$RANDOM"
    export VELMORA_SIGN_PKCS12="$dir/signer.p12"
    unset VELMORA_SIGN_TIMESTAMP_URL
    export TEST_CA="$dir/ca.pem"
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > "$dir/signer.ext"
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Velmora Test CA" -keyout "$dir/ca.key" -out "$TEST_CA" \
        -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null &&
        openssl req -newkey rsa:2048 -nodes -subj "/CN=Velmora Test Signer" -keyout "$dir/signer.key" \
            -out "$dir/signer.csr" 2>/dev/null &&
        openssl x509 -req -days 2 -in "$dir/signer.csr" -CA "$TEST_CA" -CAkey "$dir/ca.key" -CAcreateserial \
            -extfile "$dir/signer.ext" -out "$dir/signer.pem" 2>/dev/null &&
        openssl pkcs12 -export -in "$dir/signer.pem" -inkey "$dir/signer.key" -certfile "$TEST_CA" \
            -passout env:VELMORA_SIGN_PASSWORD -out "$VELMORA_SIGN_PKCS12"
}

# True when osslsigncode finds a valid signature by the test CA's certificate.
signed_by_test_ca() {   # <file>
    osslsigncode verify -CAfile "$TEST_CA" -in "$1" >/dev/null 2>&1
}
