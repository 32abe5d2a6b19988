# velmora_split_debug_info(<target>): in optimised builds, the program that ships carries no
# symbols or debug sections; they are kept beside it in <file>.debug, which the program names
# in a .gnu_debuglink section so that a debugger finds them. Runs after every link.
# objcopy writes a new PE header for both files and stamps it with the time of the build
# unless SOURCE_DATE_EPOCH says otherwise: 0 keeps them as free of a time stamp as the
# link left them, so that the same sources give the same bytes in any build folder (the
# header checksum and the debug link's checksum of the .debug file then follow).
function(velmora_split_debug_info target)
    if(CMAKE_BUILD_TYPE STREQUAL "Debug")
        return()
    endif()
    if(NOT CMAKE_OBJCOPY)
        message(FATAL_ERROR "objcopy of the toolchain not found (CMAKE_OBJCOPY): needed to strip ${target}")
    endif()
    set(file $<TARGET_FILE:${target}>)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
                ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${file}.debug ${file}
        COMMENT "Stripping ${target}; its symbols go to a .debug file beside it"
        VERBATIM)
endfunction()
