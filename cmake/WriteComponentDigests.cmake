# cmake -DLIB=<CsBrevinLab.dll> -DAPI=<CsBrevinApi.dll> -DOUT=<header> -P WriteComponentDigests.cmake
# Writes the upper-case MD5 texts of the two component libraries (empty when a library
# is not given). The header is rewritten only when its content changes.
set(lib_md5 "")
set(api_md5 "")
if(LIB)
    file(MD5 "${LIB}" lib_md5)
    string(TOUPPER "${lib_md5}" lib_md5)
endif()
if(API)
    file(MD5 "${API}" api_md5)
    string(TOUPPER "${api_md5}" api_md5)
endif()
set(content "#pragma once
// Generated at build time from the component libraries of this build; do not edit.
#define VELMORA_COMPONENT_LIB_MD5 L\"${lib_md5}\"
#define VELMORA_COMPONENT_API_MD5 L\"${api_md5}\"
")
set(old "")
if(EXISTS "${OUT}")
    file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL content)
    file(WRITE "${OUT}" "${content}")
endif()
