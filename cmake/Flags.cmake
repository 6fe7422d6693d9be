# Settings every target of ours links: warnings, wide Win32, a pinned Windows
# version, and a static runtime so the programs need no DLL beyond Windows' own.
add_library(pavo_flags INTERFACE)
target_compile_options(pavo_flags INTERFACE -Wall -Wextra $<$<BOOL:${PAVO_WERROR}>:-Werror>)
target_compile_definitions(pavo_flags INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
    _WIN32_WINNT=0x0A00 WINVER=0x0A00 NTDDI_VERSION=0x0A000000)
target_link_options(pavo_flags INTERFACE -static -static-libgcc -static-libstdc++)

# A product program: wide entry point on top of the common settings. Sections
# start on page boundaries in the file too, so that Wine maps the image from
# the file instead of copying it into private memory.
function(pavo_program target)
    target_link_libraries(${target} PRIVATE pavo_flags)
    target_link_options(${target} PRIVATE -municode -Wl,--file-alignment,0x1000)
endfunction()
