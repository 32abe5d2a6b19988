#!/usr/bin/env bash
# Runs a test program of the build under Wine in another Windows locale: in that locale's
# own prefix (made once, kept in the build tree beside the usual one) with a wine server of
# its own for the run, stopped afterwards. The display is the one the run already has.
#   other-locale.sh <locale> <build dir> <program> [arguments...]
set -euo pipefail
locale="$1" build="$2"
shift 2
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$top/scripts/lib/wine-env.sh"

if ! locale -a 2>/dev/null | grep -qix "${locale%%.*}\.utf-\?8"; then
    echo "the glibc locale $locale is missing, and Wine would fall back to another code page" \
         "without a word: scripts/setup makes it" >&2
    exit 1
fi
export VELMORA_WINE_LOCALE="$locale"
velmora_wine_up "$build"
trap velmora_wine_down EXIT
wine "$@"
