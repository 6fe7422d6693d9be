# The third-party libraries for the Windows target, built by
# scripts/build-deps.sh into a cache outside the checkout. That script writes
# the file named by PAVO_DEPS_FILE with one prefix per library.
if(NOT PAVO_DEPS_FILE OR NOT EXISTS "${PAVO_DEPS_FILE}")
    message(FATAL_ERROR "PAVO_DEPS_FILE must name the file written by scripts/build-deps.sh")
endif()
include(${PAVO_DEPS_FILE})

list(APPEND CMAKE_PREFIX_PATH
    ${PAVO_FMT_PREFIX} ${PAVO_SPDLOG_PREFIX} ${PAVO_JSONCPP_PREFIX} ${PAVO_GTEST_PREFIX})

find_package(fmt CONFIG REQUIRED)
find_package(spdlog CONFIG REQUIRED)
find_package(jsoncpp CONFIG REQUIRED)

# Headers of third-party code come in as system includes, so that our own
# code can be built with -Werror.
function(pavo_imported_static name prefix lib)
    add_library(${name} STATIC IMPORTED GLOBAL)
    set_target_properties(${name} PROPERTIES
        IMPORTED_LOCATION ${prefix}/lib/${lib}
        INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${prefix}/include
        INTERFACE_INCLUDE_DIRECTORIES ${prefix}/include)
endfunction()

pavo_imported_static(Pavo::zlib ${PAVO_ZLIB_PREFIX} libz.a)
pavo_imported_static(Pavo::minizip ${PAVO_ZLIB_PREFIX} libminizip.a)
set_property(TARGET Pavo::minizip PROPERTY INTERFACE_LINK_LIBRARIES Pavo::zlib)
pavo_imported_static(Pavo::crypto ${PAVO_OPENSSL_PREFIX} libcrypto.a)
set_property(TARGET Pavo::crypto PROPERTY INTERFACE_LINK_LIBRARIES ws2_32 crypt32 bcrypt user32 advapi32)

foreach(t spdlog::spdlog fmt::fmt JsonCpp::JsonCpp)
    if(TARGET ${t})
        get_target_property(_inc ${t} INTERFACE_INCLUDE_DIRECTORIES)
        if(_inc)
            set_property(TARGET ${t} APPEND PROPERTY INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${_inc})
        endif()
    endif()
endforeach()
if(TARGET jsoncpp_static AND NOT TARGET JsonCpp::JsonCpp)
    add_library(JsonCpp::JsonCpp ALIAS jsoncpp_static)
    get_target_property(_inc jsoncpp_static INTERFACE_INCLUDE_DIRECTORIES)
    set_property(TARGET jsoncpp_static APPEND PROPERTY INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${_inc})
endif()
