# The information sheet end to end under a real X server (Xvfb): pictures
# opened through the file dialog, the sheet opened from the menu, the icon bar
# and the keyboard. Screenshots in ${CMAKE_BINARY_DIR}/artefacts.
if(STITCHARA_TESTS)
  add_executable(info_e2e ${CMAKE_SOURCE_DIR}/info/tests/e2e/info_e2e_qt.cpp)
  set_target_properties(info_e2e PROPERTIES AUTOMOC ON)
  target_link_libraries(info_e2e PRIVATE stitchara_gui Qt6::Test)
  target_include_directories(info_e2e PRIVATE ${CMAKE_SOURCE_DIR})
  add_test(NAME info_e2e COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:info_e2e>)
  set_tests_properties(info_e2e PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb;STITCHARA_BUILD_DIR=${CMAKE_BINARY_DIR};STITCHARA_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT 300)
endif()
