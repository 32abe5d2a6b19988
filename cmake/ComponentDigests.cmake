# The launcher checks the component's libraries against digests fixed at build time. They
# are taken from the libraries that installations get (cmake/Component.cmake: the
# vendor's, or the stand-ins this build produces, whose reproducible builds keep them
# stable) and written to ComponentDigests.h, which the launcher's libraries depend on. The
# targets are looked up once every folder has been read, since the libraries are built
# elsewhere.
function(velmora_component_digests)
    set(header ${VELMORA_GENERATED}/ComponentDigests.h)
    set(script ${CMAKE_SOURCE_DIR}/cmake/WriteComponentDigests.cmake)
    set(files "")
    set(sources "")
    set(targets "")
    foreach(name IN LISTS VELMORA_COMPONENT_FILES)
        if(TARGET ${VELMORA_COMPONENT_TARGET_${name}})
            list(APPEND files "${name}=${VELMORA_COMPONENT_SOURCE_${name}}")
            list(APPEND sources ${VELMORA_COMPONENT_SOURCE_${name}})
            list(APPEND targets ${VELMORA_COMPONENT_TARGET_${name}})
        else()
            # A library this build does not produce: nothing can match it, so the launcher
            # reports it as damaged rather than trusting an unknown file.
            message(STATUS "No target for ${name}; its fixed digest stays empty")
        endif()
    endforeach()
    string(REPLACE ";" "|" files_arg "${files}")
    add_custom_command(OUTPUT ${header}
        COMMAND ${CMAKE_COMMAND} "-DFILES=${files_arg}" -DOUT=${header} -P ${script}
        DEPENDS ${sources} ${script}
        COMMENT "Recording the digests of the component libraries"
        VERBATIM)
    add_custom_target(velmora_component_digests DEPENDS ${header})
    if(targets)
        add_dependencies(velmora_component_digests ${targets})
    endif()
    add_dependencies(velframe velmora_component_digests)
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL velmora_component_digests)
