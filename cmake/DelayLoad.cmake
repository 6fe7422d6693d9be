# Delay-loaded imports: a DLL that is not a KnownDLL, imported the ordinary way,
# is looked for beside the program before System32 is searched. Linked through
# a delay-import library instead, it is loaded on first use by the delay-load
# helper, after the program has restricted the search to System32 (see
# Lumen/DelayLoad.h). The libraries are made at configure time from MinGW's
# import libraries: every function they export.
#
#   pavo_delay_import(NAME [EXCLUDE FUNCTION...])  ->  INTERFACE target pavo_delay_NAME
#   (e.g. NAME = wtsapi32); EXCLUDE leaves functions out that another DLL's
#   library defines as well (ole32 and oleaut32 both export the error-info calls).
find_program(PAVO_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
find_program(PAVO_NM NAMES x86_64-w64-mingw32-nm REQUIRED)

function(pavo_delay_import name)
    cmake_parse_arguments(PARSE_ARGV 1 _arg "" "" "EXCLUDE")
    set(target pavo_delay_${name})
    if(TARGET ${target})
        return()
    endif()
    set(_import ${CMAKE_FIND_ROOT_PATH}/lib/lib${name}.a)
    if(NOT EXISTS ${_import})
        message(FATAL_ERROR "no import library ${_import}")
    endif()
    execute_process(COMMAND ${PAVO_NM} -g --defined-only ${_import}
        OUTPUT_VARIABLE _symbols RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
        message(FATAL_ERROR "cannot list ${_import}")
    endif()
    string(REGEX MATCHALL "[0-9a-f]+ T [A-Za-z0-9_@?$]+" _functions "${_symbols}")
    set(_def "LIBRARY ${name}.dll\nEXPORTS\n")
    foreach(_line IN LISTS _functions)
        string(REGEX REPLACE "^[0-9a-f]+ T " "" _function "${_line}")
        if(_function IN_LIST _arg_EXCLUDE)
            continue()
        endif()
        string(APPEND _def "    ${_function}\n")
    endforeach()
    set(_dir ${CMAKE_BINARY_DIR}/delayload)
    file(MAKE_DIRECTORY ${_dir})
    file(WRITE ${_dir}/${name}.def "${_def}")
    execute_process(COMMAND ${PAVO_DLLTOOL} --input-def ${_dir}/${name}.def --dllname ${name}.dll
            --output-delaylib ${_dir}/lib${name}_delay.a
        RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
        message(FATAL_ERROR "dlltool could not make the delay library of ${name}")
    endif()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${_dir}/lib${name}_delay.a)
endfunction()
