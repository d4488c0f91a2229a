# The stitchara program, built beside stitchara-cli and palette.map.
add_executable(stitchara ${CMAKE_SOURCE_DIR}/shell/app/main_qt.cpp)
target_link_libraries(stitchara PRIVATE stitchara_gui)
set_target_properties(stitchara PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
