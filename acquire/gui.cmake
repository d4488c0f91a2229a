# Scanning end to end under a real X server (Xvfb) with the test backend.
if(STITCHARA_TESTS)
  add_executable(scan_e2e ${CMAKE_SOURCE_DIR}/acquire/tests/e2e/scan_e2e_qt.cpp)
  set_target_properties(scan_e2e PROPERTIES AUTOMOC ON)
  target_link_libraries(scan_e2e PRIVATE stitchara_gui Qt6::Test)
  target_include_directories(scan_e2e PRIVATE ${CMAKE_SOURCE_DIR})
  add_test(NAME scan_e2e COMMAND xvfb-run -a -s "-screen 0 1600x1000x24" $<TARGET_FILE:scan_e2e>)
  set_tests_properties(scan_e2e PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb;STITCHARA_BUILD_DIR=${CMAKE_BINARY_DIR};STITCHARA_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT 300)
endif()
