# The agent's look, built from sources at build time:
#  - the skin archive skin/PavoAgent_default.zip (resource.json, one description
#    per dialog and the pictures, all under the scale folder "100"), its
#    pictures rendered from our SVG sources with rsvg-convert and the loading
#    animation assembled with ImageMagick;
#  - the fonts the agent registers at start-up, taken from Debian's
#    fonts-nanum with their licence;
#  - the program icon for the resource script and the resource script itself as
#    an object library (pavo_agent_resources) that a program links.
# The archive and the fonts go into the install folder and beside the programs
# in build/bin, where the tests run them.

find_program(PAVO_RSVG_CONVERT rsvg-convert REQUIRED)
# ImageMagick's own convert: another "convert" earlier in PATH may be something else.
find_program(PAVO_IM_CONVERT convert PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
find_program(PAVO_IM_IDENTIFY identify PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
find_program(PAVO_ZIP zip REQUIRED)
find_file(PAVO_FONT_NANUM_GOTHIC NanumGothic.ttf PATHS /usr/share/fonts/truetype/nanum NO_DEFAULT_PATH REQUIRED)
find_file(PAVO_FONT_NANUM_GOTHIC_BOLD NanumGothicBold.ttf PATHS /usr/share/fonts/truetype/nanum NO_DEFAULT_PATH REQUIRED)
find_file(PAVO_FONT_NANUM_LICENSE copyright PATHS /usr/share/doc/fonts-nanum NO_DEFAULT_PATH REQUIRED)

set(PAVO_SKIN_SOURCE ${PROJECT_SOURCE_DIR}/deploy/skin)
set(PAVO_SKIN_WORK ${CMAKE_BINARY_DIR}/skin-build)
# The archive's content as the agent unpacks it: everything under "100".
set(PAVO_SKIN_STAGE ${PAVO_SKIN_WORK}/stage)
set(PAVO_SKIN_IMAGES ${PAVO_SKIN_STAGE}/100)
set(PAVO_SKIN_ARCHIVE ${PAVO_SKIN_WORK}/PavoAgent_default.zip)
set(_skin_files "")

# Renders one SVG into a PNG of the skin (OUTPUT relative to the image folder).
function(pavo_skin_render svg output)
    cmake_parse_arguments(ARG "" "SIZE" "" ${ARGN})
    set(_png ${PAVO_SKIN_IMAGES}/${output})
    set(_size "")
    if(ARG_SIZE)
        set(_size -w ${ARG_SIZE} -h ${ARG_SIZE})
    endif()
    get_filename_component(_dir ${_png} DIRECTORY)
    add_custom_command(OUTPUT ${_png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_dir}
        COMMAND ${PAVO_RSVG_CONVERT} ${_size} -o ${_png} ${svg}
        DEPENDS ${svg}
        VERBATIM)
    set(_skin_files ${_skin_files} ${_png} PARENT_SCOPE)
endfunction()

# Writes an SVG from one of our templates; NAME=VALUE pairs fill its @NAME@ fields.
function(pavo_skin_svg template output)
    foreach(_pair IN LISTS ARGN)
        string(FIND "${_pair}" "=" _eq)
        string(SUBSTRING "${_pair}" 0 ${_eq} _name)
        math(EXPR _value_start "${_eq} + 1")
        string(SUBSTRING "${_pair}" ${_value_start} -1 _value)
        set(${_name} "${_value}")
    endforeach()
    configure_file(${PAVO_SKIN_SOURCE}/templates/${template}.svg.in ${output} @ONLY)
endfunction()

# A four-frame push button of exactly its control's size (the frame is stretched
# over the button, so any other size would blur the corners).
set(_primary_fill 2563EB 1D4ED8 1E40AF F3F4F6)
set(_primary_line 2563EB 1D4ED8 1E40AF E5E7EB)
set(_secondary_fill FFFFFF EFF6FF DBEAFE F3F4F6)
set(_secondary_line D1D5DB 93C5FD 60A5FA E5E7EB)
function(pavo_skin_button kind w h radius)
    set(_name btn_${kind}_${w}x${h})
    math(EXPR _strip "${w} * 4")
    math(EXPR _iw "${w} - 1")
    math(EXPR _ih "${h} - 1")
    math(EXPR _x1 "${w}")
    math(EXPR _x2 "${w} * 2")
    math(EXPR _x3 "${w} * 3")
    set(_args W=${w} H=${h} R=${radius} STRIP_W=${_strip} INNER_W=${_iw} INNER_H=${_ih}
        X1=${_x1}.5 X2=${_x2}.5 X3=${_x3}.5)
    foreach(_i 0 1 2 3)
        list(GET _${kind}_fill ${_i} _fill)
        list(GET _${kind}_line ${_i} _line)
        list(APPEND _args FILL${_i}=${_fill} LINE${_i}=${_line})
    endforeach()
    set(_svg ${PAVO_SKIN_WORK}/svg/${_name}.svg)
    pavo_skin_svg(button ${_svg} ${_args})
    pavo_skin_render(${_svg} ${_name}.png)
    set(_skin_files ${_skin_files} PARENT_SCOPE)
endfunction()

pavo_skin_button(primary 300 40 5)
pavo_skin_button(primary 120 36 5)
pavo_skin_button(primary 96 32 4)
pavo_skin_button(primary 88 32 4)
pavo_skin_button(primary 72 24 4)
pavo_skin_button(secondary 120 36 5)
pavo_skin_button(secondary 120 32 4)
pavo_skin_button(secondary 80 32 4)

# The automatic-login check box: unchecked and checked strips over the whole control.
foreach(_state off on)
    set(_w 150)
    set(_h 20)
    math(EXPR _strip "${_w} * 4")
    math(EXPR _x1 "${_w} * 1")
    math(EXPR _x2 "${_w} * 2")
    math(EXPR _x3 "${_w} * 3")
    set(_args W=${_w} H=${_h} STRIP_W=${_strip} BOX_Y=2.5 X1B=${_x1}.5 X2B=${_x2}.5 X3B=${_x3}.5)
    if(_state STREQUAL on)
        list(APPEND _args MARK=inline FILL0=2563EB LINE0=2563EB FILL1=1D4ED8 LINE1=1D4ED8
            FILL2=1E40AF LINE2=1E40AF FILL3=D1D5DB LINE3=D1D5DB)
    else()
        list(APPEND _args MARK=none FILL0=FFFFFF LINE0=9CA3AF FILL1=FFFFFF LINE1=2563EB
            FILL2=EFF6FF LINE2=1D4ED8 FILL3=F3F4F6 LINE3=D1D5DB)
    endif()
    set(_svg ${PAVO_SKIN_WORK}/svg/check_${_state}.svg)
    pavo_skin_svg(checkbox ${_svg} ${_args})
    pavo_skin_render(${_svg} check_${_state}_${_w}x${_h}.png)
endforeach()

# Caption buttons: thin glyphs on the caption band; close turns red under the mouse.
set(_glyph_minimize [=[<path d="M11 16.5 H21"/>]=])
set(_glyph_maximize [=[<rect x="11.5" y="11.5" width="9" height="9" rx="1"/>]=])
set(_glyph_restore [=[<rect x="11.5" y="13.5" width="7" height="7" rx="1"/><path d="M13.5 11.5 H20.5 V18.5"/>]=])
set(_glyph_close [=[<path d="M11.5 11.5 L20.5 20.5 M20.5 11.5 L11.5 20.5"/>]=])
set(_glyph_help [=[<path d="M13.2 13.6 A2.9 2.9 0 1 1 17.4 16.2 C16.5 16.6 16 17.2 16 18.2 V18.8"/><circle cx="16" cy="21.4" r="0.5"/>]=])
set(_glyph_user [=[<circle cx="16" cy="12.5" r="3.2"/><path d="M10 22.5 C10.6 19.2 13 17.6 16 17.6 S21.4 19.2 22 22.5"/>]=])
foreach(_button minimize maximize restore close help user)
    if(_button STREQUAL close)
        set(_colors INK0=4B5563 FILL1=DC2626 INK1=FFFFFF FILL2=B91C1C INK2=FFFFFF INK3=C2C7CF)
    else()
        set(_colors INK0=4B5563 FILL1=E5E7EB INK1=111827 FILL2=D1D5DB INK2=111827 INK3=C2C7CF)
    endif()
    set(_svg ${PAVO_SKIN_WORK}/svg/caption_${_button}.svg)
    pavo_skin_svg(caption_button ${_svg} "GLYPH=${_glyph_${_button}}" ${_colors})
    pavo_skin_render(${_svg} caption_${_button}.png)
endforeach()

# Frame edges and corners: a 1-pixel border; the top edge carries the caption band.
set(_border C9CED6)
foreach(_part left:1:8 right:1:8 bottom:8:1 left_top:1:34 right_top:1:34 left_bottom:1:1 right_bottom:1:1)
    string(REPLACE ":" ";" _part ${_part})
    list(GET _part 0 _name)
    list(GET _part 1 _w)
    list(GET _part 2 _h)
    set(_svg ${PAVO_SKIN_WORK}/svg/frame_${_name}.svg)
    pavo_skin_svg(solid ${_svg} W=${_w} H=${_h} COLOR=${_border})
    pavo_skin_render(${_svg} frame_${_name}.png)
endforeach()

# Pictures drawn once.
foreach(_art frame_top msg_success msg_failure msg_info edit_clear product_card overlay user_avatar)
    pavo_skin_render(${PAVO_SKIN_SOURCE}/art/${_art}.svg ${_art}.png)
endforeach()
pavo_skin_render(${PAVO_SKIN_SOURCE}/art/app_logo.svg app_logo_56.png SIZE 56)
pavo_skin_render(${PAVO_SKIN_SOURCE}/art/app_logo.svg app_logo_64.png SIZE 64)

# One icon per product code, named as the product row loads it.
file(GLOB _product_icons CONFIGURE_DEPENDS ${PAVO_SKIN_SOURCE}/product_icons/*.svg)
foreach(_icon IN LISTS _product_icons)
    get_filename_component(_code ${_icon} NAME_WE)
    pavo_skin_render(${_icon} product_icons/${_code}.png)
endforeach()

# The loading animation: 12 frames, 30 degrees apart. The agent plays it at its own
# frame interval; the delay stored in the file (5/100 s) matches it for other viewers.
set(_frames "")
foreach(_i RANGE 11)
    math(EXPR _angle "${_i} * 30")
    set(_svg ${PAVO_SKIN_WORK}/svg/spinner_${_i}.svg)
    set(_png ${PAVO_SKIN_WORK}/frames/spinner_${_i}.png)
    pavo_skin_svg(spinner ${_svg} ANGLE=${_angle})
    add_custom_command(OUTPUT ${_png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PAVO_SKIN_WORK}/frames
        COMMAND ${PAVO_RSVG_CONVERT} -o ${_png} ${_svg}
        DEPENDS ${_svg}
        VERBATIM)
    list(APPEND _frames ${_png})
endforeach()
add_custom_command(OUTPUT ${PAVO_SKIN_IMAGES}/loading.gif
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PAVO_SKIN_IMAGES}
    COMMAND ${PAVO_IM_CONVERT} -delay 5 -loop 0 -dispose none ${_frames} ${PAVO_SKIN_IMAGES}/loading.gif
    DEPENDS ${_frames}
    VERBATIM)
list(APPEND _skin_files ${PAVO_SKIN_IMAGES}/loading.gif)

# The resource table and the dialog descriptions.
file(GLOB _skin_descriptions CONFIGURE_DEPENDS ${PAVO_SKIN_SOURCE}/dialogs/*.json)
foreach(_json ${PAVO_SKIN_SOURCE}/resource.json ${_skin_descriptions})
    get_filename_component(_name ${_json} NAME)
    add_custom_command(OUTPUT ${PAVO_SKIN_IMAGES}/${_name}
        COMMAND ${CMAKE_COMMAND} -E copy ${_json} ${PAVO_SKIN_IMAGES}/${_name}
        DEPENDS ${_json}
        VERBATIM)
    list(APPEND _skin_files ${PAVO_SKIN_IMAGES}/${_name})
endforeach()

# The archive holds files only, each under "100/": the agent creates the folders
# as it writes the files, so no directory entry can come after its content. It is
# made from the list of outputs, so a picture dropped from the sources leaves it.
set(_skin_entries "")
foreach(_file IN LISTS _skin_files)
    file(RELATIVE_PATH _entry ${PAVO_SKIN_STAGE} ${_file})
    list(APPEND _skin_entries ${_entry})
endforeach()
add_custom_command(OUTPUT ${PAVO_SKIN_ARCHIVE}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${PAVO_SKIN_ARCHIVE}
    COMMAND ${PAVO_ZIP} -q -X -D ${PAVO_SKIN_ARCHIVE} ${_skin_entries}
    DEPENDS ${_skin_files}
    WORKING_DIRECTORY ${PAVO_SKIN_STAGE}
    VERBATIM)

set(_fonts_stamp ${CMAKE_BINARY_DIR}/stamps/dist-fonts.stamp)
set(_skin_stamp ${CMAKE_BINARY_DIR}/stamps/dist-skin.stamp)
set(_font_copies "")
foreach(_dest ${PAVO_DIST_DIR} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    list(APPEND _font_copies
        COMMAND ${CMAKE_COMMAND} -E remove_directory ${_dest}/font
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_dest}/font
        COMMAND ${CMAKE_COMMAND} -E copy ${PAVO_FONT_NANUM_GOTHIC} ${PAVO_FONT_NANUM_GOTHIC_BOLD} ${_dest}/font/
        COMMAND ${CMAKE_COMMAND} -E copy ${PAVO_FONT_NANUM_LICENSE} ${_dest}/font/LICENSE-fonts-nanum.txt)
endforeach()
add_custom_command(OUTPUT ${_fonts_stamp}
    ${_font_copies}
    COMMAND ${CMAKE_COMMAND} -E touch ${_fonts_stamp}
    DEPENDS ${PAVO_FONT_NANUM_GOTHIC} ${PAVO_FONT_NANUM_GOTHIC_BOLD} ${PAVO_FONT_NANUM_LICENSE}
    VERBATIM)
add_custom_command(OUTPUT ${_skin_stamp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PAVO_DIST_DIR}/skin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/skin
    COMMAND ${CMAKE_COMMAND} -E copy ${PAVO_SKIN_ARCHIVE} ${PAVO_DIST_DIR}/skin/
    COMMAND ${CMAKE_COMMAND} -E copy ${PAVO_SKIN_ARCHIVE} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/skin/
    COMMAND ${CMAKE_COMMAND} -E touch ${_skin_stamp}
    DEPENDS ${PAVO_SKIN_ARCHIVE}
    VERBATIM)
add_custom_target(dist-skin DEPENDS ${_skin_stamp} ${_fonts_stamp})
add_dependencies(dist dist-skin)

# Program icon 128, from the same mark as the skin's logo.
set(PAVO_AGENT_RES_WORK ${CMAKE_BINARY_DIR}/agent-res)
set(_icon_pngs "")
foreach(_size 16 24 32 48 64 256)
    set(_png ${PAVO_AGENT_RES_WORK}/icon_${_size}.png)
    add_custom_command(OUTPUT ${_png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PAVO_AGENT_RES_WORK}
        COMMAND ${PAVO_RSVG_CONVERT} -w ${_size} -h ${_size} -o ${_png} ${PAVO_SKIN_SOURCE}/art/app_logo.svg
        DEPENDS ${PAVO_SKIN_SOURCE}/art/app_logo.svg
        VERBATIM)
    list(APPEND _icon_pngs ${_png})
endforeach()
add_custom_command(OUTPUT ${PAVO_AGENT_RES_WORK}/PavoAgent.ico
    COMMAND ${PAVO_IM_CONVERT} ${_icon_pngs} ${PAVO_AGENT_RES_WORK}/PavoAgent.ico
    DEPENDS ${_icon_pngs}
    VERBATIM)
add_custom_target(pavo_agent_icon DEPENDS ${PAVO_AGENT_RES_WORK}/PavoAgent.ico)

# The agent's dialogs, menu, accelerators, icon and strings. Link it into a
# program with target_link_libraries(<program> PRIVATE pavo_agent_resources).
set(_rc ${PROJECT_SOURCE_DIR}/agent/ui/res/PavoAgent.rc)
add_library(pavo_agent_resources OBJECT ${_rc})
target_include_directories(pavo_agent_resources PRIVATE ${PAVO_AGENT_RES_WORK})
target_include_directories(pavo_agent_resources INTERFACE ${PROJECT_SOURCE_DIR}/agent/ui/res)
set_source_files_properties(${_rc} PROPERTIES
    OBJECT_DEPENDS "${PAVO_AGENT_RES_WORK}/PavoAgent.ico;${PROJECT_SOURCE_DIR}/agent/ui/res/resource.h")
add_dependencies(pavo_agent_resources pavo_agent_icon)

if(PAVO_BUILD_TESTS)
    # The archive holds what its descriptions name, at the sizes they imply.
    add_test(NAME SkinArchive
        COMMAND ${CMAKE_COMMAND}
            -DARCHIVE=${PAVO_DIST_DIR}/skin/PavoAgent_default.zip
            -DFONT_DIR=${PAVO_DIST_DIR}/font
            -DRESOURCE_H=${PROJECT_SOURCE_DIR}/agent/ui/res/resource.h
            -DINSPECTION=${PROJECT_SOURCE_DIR}/deploy/inspection_data/inspection_data.json
            -DIDENTIFY=${PAVO_IM_IDENTIFY}
            -DWORK=${CMAKE_BINARY_DIR}/skin-check
            -P ${PROJECT_SOURCE_DIR}/tests/agent/ui/res/CheckSkinArchive.cmake)
    set_tests_properties(SkinArchive PROPERTIES TIMEOUT 120)

    # The resource script as windres compiled it, loaded the way the agent loads it.
    find_package(GTest CONFIG REQUIRED)
    add_executable(AgentResourcesTest ${PROJECT_SOURCE_DIR}/tests/agent/ui/res/AgentResourcesTest.cpp)
    target_link_libraries(AgentResourcesTest PRIVATE pavo_flags pavo_agent_resources GTest::gtest GTest::gtest_main
        comctl32 user32)
    add_dependencies(AgentResourcesTest dist-language)
    pavo_add_wine_test(AgentResourcesTest TIMEOUT 120)
endif()
