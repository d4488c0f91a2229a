# The stitch sheet's end-to-end run under a real X server (Xvfb).
stitchara_xvfb_test(stitch_e2e SOURCE stitch/tests/e2e/stitch_e2e_qt.cpp SCREEN 1600x1000
                    DEPENDS stitchara-cli)
if(TARGET stitch_flows_test AND TARGET stitchara-cli)
  add_dependencies(stitch_flows_test stitchara-cli)
endif()
if(TARGET stitch_flows_test AND TARGET stitchara_test_support)
  target_link_libraries(stitch_flows_test PRIVATE stitchara_test_support)
endif()
# The Stitch Many window's end-to-end run: pieces added through the file
# dialog, stitched, saved, compared with stitchara-cli mosaic.
stitchara_xvfb_test(mosaic_e2e SOURCE stitch/tests/e2e/mosaic_e2e_qt.cpp SCREEN 1600x1000
                    DEPENDS stitchara-cli)
# A long Auto stitch on its worker while another window is zoomed with real
# input: the zoom happens during the stitch, and the stitch's picture arrives.
stitchara_xvfb_test(stitch_busy_e2e SOURCE stitch/tests/e2e/stitch_busy_e2e_qt.cpp SCREEN 1600x1000
                    DEPENDS stitchara-cli)
