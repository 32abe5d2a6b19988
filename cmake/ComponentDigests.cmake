# The launcher checks the two component libraries against digests fixed at build time.
# They are taken from the libraries that installations get (cmake/Component.cmake: the
# vendor's, or the stand-ins this build produces, whose reproducible builds keep them
# stable) and written to ComponentDigests.h, which the launcher's libraries depend on. The targets are
# looked up once every folder has been read, since the libraries are built elsewhere.
function(velmora_component_digests)
    set(header ${VELMORA_GENERATED}/ComponentDigests.h)
    set(script ${CMAKE_SOURCE_DIR}/cmake/WriteComponentDigests.cmake)
    if(TARGET CsBrevinLab AND TARGET CsBrevinApi)
        add_custom_command(OUTPUT ${header}
            COMMAND ${CMAKE_COMMAND} -DLIB=${VELMORA_COMPONENT_LIB_FILE} -DAPI=${VELMORA_COMPONENT_API_FILE}
                    -DOUT=${header} -P ${script}
            DEPENDS ${VELMORA_COMPONENT_LIB_FILE} ${VELMORA_COMPONENT_API_FILE} ${script}
            COMMENT "Recording the digests of the component libraries"
            VERBATIM)
        add_custom_target(velmora_component_digests DEPENDS ${header})
        add_dependencies(velmora_component_digests CsBrevinLab CsBrevinApi)
        add_dependencies(velframe velmora_component_digests)
    else()
        # No component libraries in this build: nothing can match, so the launcher
        # reports the component files as damaged rather than trusting unknown files.
        message(STATUS "Component library targets not found; component digests left empty")
        execute_process(COMMAND ${CMAKE_COMMAND} -DOUT=${header} -P ${script})
    endif()
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL velmora_component_digests)
