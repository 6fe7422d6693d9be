# The skinned controls, their skin keys and drawing helpers, added to the
# toolkit library (see CMakeLists.txt beside this file).
target_sources(PavoUiToolkit PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/src/AnimatedGif.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/BitmapDC.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/BufferDC.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/ControlGeometry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/CustomHtmlCtrl.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/CustomWindowList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/DesktopShell.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/EditEx.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/EditWithClear.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/FlatBorder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/HtmlDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/HtmlHostSite.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/HtmlPageChoice.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/HtmlText.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/HyperLink.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/ImageButton.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/ImageLoader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/LocalFileBlock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/ParentBackground.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/ShellAddress.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/PngDecoder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/SkinAnimatedGif.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/SkinButton.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/SkinCustomHtmlCtrl.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/SkinCustomWindowList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/SkinEditWithClear.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/SkinHelper.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/SkinImage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/SkinKeys.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/SkinLinkCtrl.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/SkinStatic.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/StaticEx.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/WindowPrinter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/ToolTipHelper.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/WindowListLayout.cpp
)

# urlmon (LocalFileBlock) is not a KnownDLL: delay-loaded, from System32 only.
pavo_delay_import(urlmon)
target_link_libraries(PavoUiToolkit PUBLIC pavo_delay_urlmon)
