# The stitch sheet's end-to-end run under a real X server (Xvfb).
if(STITCHARA_TESTS)
  add_executable(stitch_e2e ${CMAKE_SOURCE_DIR}/stitch/tests/e2e/stitch_e2e_qt.cpp)
  set_target_properties(stitch_e2e PROPERTIES AUTOMOC ON)
  target_link_libraries(stitch_e2e PRIVATE stitchara_gui Qt6::Test)
  target_include_directories(stitch_e2e PRIVATE ${CMAKE_SOURCE_DIR})
  add_dependencies(stitch_e2e stitchara-cli)
  add_test(NAME stitch_e2e COMMAND xvfb-run -a -s "-screen 0 1600x1000x24" $<TARGET_FILE:stitch_e2e>)
  set_tests_properties(stitch_e2e PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb;STITCHARA_BUILD_DIR=${CMAKE_BINARY_DIR};STITCHARA_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT 300)
endif()
if(TARGET stitch_flows_test AND TARGET stitchara-cli)
  add_dependencies(stitch_flows_test stitchara-cli)
endif()
if(TARGET stitch_flows_test AND TARGET stitchara_test_support)
  target_link_libraries(stitch_flows_test PRIVATE stitchara_test_support)
endif()
