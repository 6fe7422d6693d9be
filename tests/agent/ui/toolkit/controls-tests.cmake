# Tests of the skinned controls, added to the toolkit's test program.
target_sources(UiToolkitTest PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ControlLogicTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControlPaintTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControlTestHost.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinKeysTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinnedControlsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TestImages.cpp
)
target_link_libraries(UiToolkitTest PRIVATE gdiplus comctl32)
