# Stages the install folder build/dist: the programs and their data folders.
add_custom_target(dist ALL)

# The shipped programs carry no debug sections: Wine copies every section of
# an image into private memory, so 4 MB of debug information would cost each
# running program 4 MB. The symbols stay in build/symbols for post-mortems.
find_program(PAVO_OBJCOPY x86_64-w64-mingw32-objcopy REQUIRED)

# Copies a program, without its debug sections, into the install folder after
# every build of it.
function(pavo_dist_program target)
    set(_symbols ${CMAKE_BINARY_DIR}/symbols/$<TARGET_FILE_BASE_NAME:${target}>.debug)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PAVO_DIST_DIR} ${CMAKE_BINARY_DIR}/symbols
        COMMAND ${PAVO_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${_symbols}
        COMMAND ${PAVO_OBJCOPY} --strip-debug $<TARGET_FILE:${target}> ${PAVO_DIST_DIR}/$<TARGET_FILE_NAME:${target}>
        VERBATIM)
    add_dependencies(dist ${target})
endfunction()

# Mirrors a folder of deployment data into the install folder (and beside the
# programs in build/bin, where the tests run them).
function(pavo_dist_folder source name)
    file(GLOB_RECURSE _files CONFIGURE_DEPENDS ${source}/*)
    set(_stamp ${CMAKE_BINARY_DIR}/stamps/dist-${name}.stamp)
    add_custom_command(OUTPUT ${_stamp}
        COMMAND ${CMAKE_COMMAND} -E remove_directory ${PAVO_DIST_DIR}/${name}
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${source} ${PAVO_DIST_DIR}/${name}
        COMMAND ${CMAKE_COMMAND} -E remove_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${source} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name}
        COMMAND ${CMAKE_COMMAND} -E touch ${_stamp}
        DEPENDS ${_files}
        VERBATIM)
    add_custom_target(dist-${name} DEPENDS ${_stamp})
    add_dependencies(dist dist-${name})
endfunction()
