# The component's files, as the launcher's table of verified files lists them
# (src/util/VerifiedFileList.h): their digests are fixed when the launcher is built, the
# build ships them, and installations get them. Sets VELMORA_COMPONENT_FILES (file names)
# and, for each, VELMORA_COMPONENT_TARGET_<name> (the target that puts it into bin).
set(list_file ${CMAKE_SOURCE_DIR}/src/util/VerifiedFileList.h)
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
file(STRINGS ${list_file} rows REGEX "^VELMORA_VERIFIED_FILE\\([A-Za-z]+, *L\"[^\"]+\", *Component")
set(VELMORA_COMPONENT_FILES "")
foreach(row IN LISTS rows)
    string(REGEX REPLACE "^VELMORA_VERIFIED_FILE\\([A-Za-z]+, *L\"([^\"]+)\".*" "\\1" name "${row}")
    list(APPEND VELMORA_COMPONENT_FILES ${name})
    get_filename_component(target ${name} NAME_WE)
    set(VELMORA_COMPONENT_TARGET_${name} ${target})
endforeach()
if(NOT VELMORA_COMPONENT_FILES)
    message(FATAL_ERROR "No component rows found in ${list_file}")
endif()
