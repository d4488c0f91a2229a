# The view's end-to-end run: a real X server (Xvfb), real input events,
# screenshots in ${CMAKE_BINARY_DIR}/artefacts.
if(STITCHARA_TESTS)
  add_executable(view_e2e_test ${CMAKE_SOURCE_DIR}/display/tests/e2e/view_e2e_test_qt.cpp)
  set_target_properties(view_e2e_test PROPERTIES AUTOMOC ON)
  target_link_libraries(view_e2e_test PRIVATE stitchara_gui Qt6::Test)
  target_include_directories(view_e2e_test PRIVATE ${CMAKE_SOURCE_DIR})
  add_test(NAME view_e2e
           COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:view_e2e_test>)
  set_tests_properties(view_e2e PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb;STITCHARA_BUILD_DIR=${CMAKE_BINARY_DIR};STITCHARA_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT 300)
endif()

# On a screen of twice the density the view still shows one picture pixel
# per device pixel at zoom 1, and the zooms resample exactly.
if(STITCHARA_TESTS AND TARGET view_test)
  add_test(NAME view_test_high_density COMMAND view_test grabbedViewEqualsResampledPicture)
  set_tests_properties(view_test_high_density PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2;STITCHARA_BUILD_DIR=${CMAKE_BINARY_DIR}"
    TIMEOUT 300)
endif()

# Dragging the document's file out of the view, through the X server's
# drag-and-drop protocol.
if(STITCHARA_TESTS AND TARGET view_test)
  add_test(NAME view_test_file_drag
           COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:view_test> fileDragCarriesTheDocumentsFile)
  set_tests_properties(view_test_file_drag PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb;STITCHARA_BUILD_DIR=${CMAKE_BINARY_DIR}"
    TIMEOUT 120)
endif()
