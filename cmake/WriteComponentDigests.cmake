# cmake "-DFILES=<name>=<path>|<name>=<path>..." -DOUT=<header> -P WriteComponentDigests.cmake
# Writes the upper-case MD5 texts of the given libraries as the entries of
# VELMORA_FIXED_DIGESTS. The header is rewritten only when its content changes.
set(entries "")
string(REPLACE "|" ";" FILES "${FILES}")
foreach(entry IN LISTS FILES)
    string(REGEX REPLACE "=.*" "" name "${entry}")
    string(REGEX REPLACE "^[^=]*=" "" path "${entry}")
    file(MD5 "${path}" md5)
    string(TOUPPER "${md5}" md5)
    string(APPEND entries " \\\n    {L\"${name}\", L\"${md5}\"},")
endforeach()
set(content "#pragma once
// Generated at build time from the component libraries of this build; do not edit.
#define VELMORA_FIXED_DIGESTS${entries}
")
set(old "")
if(EXISTS "${OUT}")
    file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL content)
    file(WRITE "${OUT}" "${content}")
endif()
