# Tests of the skinned controls, added to the toolkit's test program.
target_sources(UiToolkitTest PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ControlLogicTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinKeysTest.cpp
)
