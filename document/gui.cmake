# Undo, redo and crop end to end under Xvfb, with real input events on a real
# display.
stitchara_xvfb_test(undo_crop_e2e SOURCE document/tests/e2e/undo_crop_e2e_qt.cpp DEPENDS stitchara_help stitchara_art
                    ENVIRONMENT STITCHARA_ARTEFACTS=${CMAKE_BINARY_DIR}/artefacts)
if(TARGET undo_crop_e2e)
  set_target_properties(undo_crop_e2e PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endif()
