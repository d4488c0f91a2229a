# The embedding service reaches the X server itself to check the windows
# containers name.
find_library(STITCHARA_XCB_LIBRARY xcb REQUIRED)
target_link_libraries(stitchara_gui PUBLIC ${STITCHARA_XCB_LIBRARY})

# The test container: starts the program with the embedding switch on a
# private session bus under a real X server (Xvfb), embeds pictures in
# place in its own window and reads the changes back. Not installed.
if(STITCHARA_TESTS)
  add_executable(embed_container ${CMAKE_SOURCE_DIR}/shell/embed/tests/e2e/embed_container_qt.cpp)
  set_target_properties(embed_container PROPERTIES AUTOMOC ON)
  target_link_libraries(embed_container PRIVATE stitchara_gui Qt6::Test)
  target_include_directories(embed_container PRIVATE ${CMAKE_SOURCE_DIR})
  add_dependencies(embed_container stitchara)
  add_test(NAME embed_e2e
           COMMAND dbus-run-session -- xvfb-run -a -s "-screen 0 1024x768x24" $<TARGET_FILE:embed_container>)
  set_tests_properties(embed_e2e PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb;STITCHARA_BUILD_DIR=${CMAKE_BINARY_DIR};STITCHARA_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT 300)
endif()
