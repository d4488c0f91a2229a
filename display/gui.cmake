# The view's end-to-end run: a real X server (Xvfb), real input events,
# screenshots in ${CMAKE_BINARY_DIR}/artefacts.
stitchara_xvfb_test(view_e2e SOURCE display/tests/e2e/view_e2e_test_qt.cpp PROGRAM view_e2e_test)

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
if(TARGET view_test)
  stitchara_xvfb_test(view_test_file_drag RUN view_test ARGS fileDragCarriesTheDocumentsFile TIMEOUT 120)
endif()
