# The installer package, built from the staged install folder with Debian's
# wixl (scripts/make-msi.sh). It is rebuilt whenever the install folder or
# the package source changes; the script itself decides, so that files added
# to the install folder by any step are picked up.
#
#   pavo_msi(TARGET VERSION OUTPUT)
#
# With PAVO_SIGN_PFX set in the build's environment the script signs both
# programs and the package (scripts/sign.sh).
find_program(PAVO_WIXL wixl)
find_program(PAVO_WIXL_HEAT wixl-heat)
if(NOT PAVO_WIXL OR NOT PAVO_WIXL_HEAT)
    message(FATAL_ERROR "wixl and wixl-heat are needed for the installer package (Debian package wixl; "
                        "scripts/install-packages.sh installs it)")
endif()

function(pavo_msi target version output)
    add_custom_target(${target} ALL
        COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/make-msi.sh ${PAVO_DIST_DIR}
            ${PROJECT_SOURCE_DIR}/deploy/package/PavoAgent.wxs ${version} ${output} $<TARGET_FILE:PavoSetup>
        BYPRODUCTS ${output}
        VERBATIM)
    add_dependencies(${target} dist PavoSetup)
endfunction()
