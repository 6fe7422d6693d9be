# Tests of the skinned controls, added to the toolkit's test program.
target_sources(UiToolkitTest PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ControlLogicTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControlPaintTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControlTestHost.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DesktopShellTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FakeDesktopShell.cpp
    ${CMAKE_CURRENT_LIST_DIR}/GalleryTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/HtmlHostSiteTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LocalFileBlockTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PngDecoderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinKeysTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinnedControlsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TestImages.cpp
)
target_link_libraries(UiToolkitTest PRIVATE gdiplus comctl32 ole32 oleaut32 uuid)

# The gallery run writes its screenshot into the build folder.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/screenshots)
target_compile_definitions(UiToolkitTest PRIVATE
    PAVO_TOOLKIT_TEST_DATA="${CMAKE_CURRENT_LIST_DIR}/data"
    PAVO_SCREENSHOT_PATH="${CMAKE_BINARY_DIR}/screenshots/toolkit-gallery.png")
add_dependencies(UiToolkitTest PavoUiGallery)
