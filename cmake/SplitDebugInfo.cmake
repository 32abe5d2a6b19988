# velmora_split_debug_info(<target>): in optimised builds, the program that ships carries no
# symbols or debug sections; they are kept beside it in <file>.debug, which the program names
# in a .gnu_debuglink section so that a debugger finds them. Runs after every link.
function(velmora_split_debug_info target)
    if(CMAKE_BUILD_TYPE STREQUAL "Debug")
        return()
    endif()
    if(NOT CMAKE_OBJCOPY)
        message(FATAL_ERROR "objcopy of the toolchain not found (CMAKE_OBJCOPY): needed to strip ${target}")
    endif()
    set(file $<TARGET_FILE:${target}>)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${file} ${file}.debug
        COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${file}.debug ${file}
        COMMENT "Stripping ${target}; its symbols go to a .debug file beside it"
        VERBATIM)
endfunction()
