#!/usr/bin/env bash
# scripts/crash-report on dumps of the launcher crashing in the stand-in component: it names
# the exception code and, with file and line, the launcher's function that called into the
# component (for a crash in the factory, the component's loading; in the extraction, the
# extraction call).
#   crash-report-test.sh <build folder>
set -euo pipefail
build="$1"
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
samples="$build/crash-samples"
passed=0 failed=0
pass() { echo "PASS: $1"; passed=$((passed + 1)); }
fail() { echo "FAIL: $1"; failed=$((failed + 1)); }

# The end-to-end crash cases keep their dumps here when CTest runs them; otherwise the two
# cases needed are run now.
if [ ! "$samples/factory.dmp" -nt "$build/bin/Velmora.exe" ] || [ ! "$samples/extract.dmp" -nt "$build/bin/Velmora.exe" ]; then
    windows="Z:${samples//\//\\}"
    VELMORA_CRASH_SAMPLES="$windows" VELMORA_BIN_DIR="$build/bin" "$build/wine-run" "$build/bin/e2e_tests.exe" \
        --gtest_filter='*CrashE2E*/factory:*CrashE2E*/extract' >/dev/null 2>&1 || true
fi

code=0xC0000005
if [ -n "${VELMORA_I386_NS:-}" ]; then
    code=0xC000001D
    echo "NOTE: Wine runs under qemu-i386 here: a null write is reported as $code (illegal instruction), and that code is expected"
fi

check() {   # <case> <the launcher's function that called into the component>
    local dump="$samples/$1.dmp" report
    if [ ! -f "$dump" ]; then fail "$1: no dump"; return; fi
    report="$("$top/scripts/crash-report" "$dump" "$build/bin" 2>&1)" || { fail "$1: crash-report failed: $report"; return; }
    if head -n1 <<<"$report" | grep -q "^exception $code at 0x1000[0-9A-F]\{4\} on thread [0-9]*$"; then
        pass "$1: the exception code and its address in the component"
    else
        fail "$1: first line: $(head -n1 <<<"$report")"
    fi
    if grep -q "Velmora.exe\`$2(.* at RuntimeComponent.cpp:[0-9]*" <<<"$report"; then
        pass "$1: $2 with file and line"
    else
        fail "$1: $2 not named:"$'\n'"$report"
    fi
}
check factory CRuntimeComponent::CreateObject
check extract CRuntimeComponent::ExtractFile

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
