# Which runtime component the build ships. VELMORA_COMPONENT_DIR names a folder with the
# vendor's libraries: then installations get those files and the launcher records their
# digests. Left empty, the stand-ins built in standins/component take their place. Either
# way each library ends up in bin under the target VELMORA_COMPONENT_TARGET_<file name>,
# and VELMORA_COMPONENT_SOURCE_<file name> names the file whose digest is fixed in the
# launcher.
include(${CMAKE_CURRENT_LIST_DIR}/VerifiedFiles.cmake)
list(JOIN VELMORA_COMPONENT_FILES ", " component_file_text)
set(VELMORA_COMPONENT_DIR "" CACHE PATH
    "Folder holding the vendor's ${component_file_text} (empty: build and ship the stand-ins)")

if(VELMORA_COMPONENT_DIR)
    get_filename_component(VELMORA_COMPONENT_DIR "${VELMORA_COMPONENT_DIR}" ABSOLUTE)
    set(missing "")
    foreach(name IN LISTS VELMORA_COMPONENT_FILES)
        if(NOT EXISTS "${VELMORA_COMPONENT_DIR}/${name}" OR IS_DIRECTORY "${VELMORA_COMPONENT_DIR}/${name}")
            list(APPEND missing ${name})
        endif()
    endforeach()
    if(missing)
        list(JOIN missing " and " missing_text)
        message(FATAL_ERROR "VELMORA_COMPONENT_DIR is ${VELMORA_COMPONENT_DIR}, which lacks ${missing_text}: "
                            "the folder must hold every library of the vendor's component: "
                            "${component_file_text}.")
    endif()
    message(STATUS "Shipping the vendor's component from ${VELMORA_COMPONENT_DIR}")
endif()
foreach(name IN LISTS VELMORA_COMPONENT_FILES)
    if(VELMORA_COMPONENT_DIR)
        set(VELMORA_COMPONENT_SOURCE_${name} ${VELMORA_COMPONENT_DIR}/${name})
    else()
        set(VELMORA_COMPONENT_SOURCE_${name} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name})
    endif()
endforeach()
