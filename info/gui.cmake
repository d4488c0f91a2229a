# The information sheet end to end under a real X server (Xvfb): pictures
# opened through the file dialog, the sheet opened from the menu, the icon bar
# and the keyboard. Screenshots in ${CMAKE_BINARY_DIR}/artefacts.
stitchara_xvfb_test(info_e2e SOURCE info/tests/e2e/info_e2e_qt.cpp)
