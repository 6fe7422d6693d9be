# Stages the install folder build/dist: the programs and their data folders.
add_custom_target(dist ALL)

# Copies a program into the install folder after every build of it.
function(pavo_dist_program target)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PAVO_DIST_DIR}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${PAVO_DIST_DIR}/
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
