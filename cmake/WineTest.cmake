# Registers a GoogleTest program with ctest. ctest runs it through the
# toolchain's emulator (scripts/wine-run.sh): a fresh Wine prefix, its own
# Xvfb display, and a time-out that ends only this run's Wine processes.
#
#   pavo_add_wine_test(TARGET [NAME test-name] [TIMEOUT seconds] [DLL_OVERRIDES text]
#                      [ENVIRONMENT VAR=value ...] [OPERATOR_DATA file.json] [ARGS arg ...])
#
# NAME registers a second run of the same program (for example with a filter
# in ARGS and PAVO_WINE_DPI=144 in ENVIRONMENT); the default is TARGET.
#
# With OPERATOR_DATA the run is wrapped by scripts/with-operator-server.sh:
# reference operator servers (build/host) serve that data file on free
# loopback ports for the length of the run.
set(PAVO_OPERATOR_SERVER ${CMAKE_BINARY_DIR}/host/bin/pavo-operator-server)
function(pavo_add_wine_test target)
    cmake_parse_arguments(ARG "" "NAME;TIMEOUT;DLL_OVERRIDES;OPERATOR_DATA" "ENVIRONMENT;ARGS" ${ARGN})
    if(NOT ARG_NAME)
        set(ARG_NAME ${target})
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    if(ARG_OPERATOR_DATA)
        add_test(NAME ${ARG_NAME}
            COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/with-operator-server.sh
                ${PAVO_OPERATOR_SERVER} ${ARG_OPERATOR_DATA} --
                ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${target}> --gtest_color=no ${ARG_ARGS})
    else()
        add_test(NAME ${ARG_NAME} COMMAND ${target} --gtest_color=no ${ARG_ARGS})
    endif()
    set(_env PAVO_TEST_TIMEOUT=${ARG_TIMEOUT} ${ARG_ENVIRONMENT})
    if(ARG_DLL_OVERRIDES)
        list(APPEND _env "PAVO_WINEDLLOVERRIDES=${ARG_DLL_OVERRIDES}")
    endif()
    # ctest's own limit sits above the harness's, so that the harness can
    # still end the prefix's processes and report.
    math(EXPR _ctest_timeout "${ARG_TIMEOUT} + 30")
    set_tests_properties(${ARG_NAME} PROPERTIES TIMEOUT ${_ctest_timeout} ENVIRONMENT "${_env}")
endfunction()
