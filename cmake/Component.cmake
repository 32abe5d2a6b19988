# Which runtime component the build ships. VELMORA_COMPONENT_DIR names a folder with the
# vendor's two libraries: then installations get those files and the launcher records
# their digests. Left empty, the stand-ins built in standins/component take their place.
# Either way the two libraries end up in bin under the targets CsBrevinLab and
# CsBrevinApi, and VELMORA_COMPONENT_LIB_FILE / VELMORA_COMPONENT_API_FILE name the files
# whose digests are fixed in the launcher.
set(VELMORA_COMPONENT_DIR "" CACHE PATH
    "Folder holding the vendor's CsBrevinApi.dll and CsBrevinLab.dll (empty: build and ship the stand-ins)")

if(VELMORA_COMPONENT_DIR)
    get_filename_component(VELMORA_COMPONENT_DIR "${VELMORA_COMPONENT_DIR}" ABSOLUTE)
    set(missing "")
    foreach(name CsBrevinLab.dll CsBrevinApi.dll)
        if(NOT EXISTS "${VELMORA_COMPONENT_DIR}/${name}" OR IS_DIRECTORY "${VELMORA_COMPONENT_DIR}/${name}")
            list(APPEND missing ${name})
        endif()
    endforeach()
    if(missing)
        list(JOIN missing " and " missing_text)
        message(FATAL_ERROR "VELMORA_COMPONENT_DIR is ${VELMORA_COMPONENT_DIR}, which lacks ${missing_text}: "
                            "the folder must hold both libraries of the vendor's component, "
                            "CsBrevinLab.dll and CsBrevinApi.dll.")
    endif()
    set(VELMORA_COMPONENT_LIB_FILE ${VELMORA_COMPONENT_DIR}/CsBrevinLab.dll)
    set(VELMORA_COMPONENT_API_FILE ${VELMORA_COMPONENT_DIR}/CsBrevinApi.dll)
    message(STATUS "Shipping the vendor's component from ${VELMORA_COMPONENT_DIR}")
else()
    set(VELMORA_COMPONENT_LIB_FILE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/CsBrevinLab.dll)
    set(VELMORA_COMPONENT_API_FILE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/CsBrevinApi.dll)
endif()
