# The embedding service reaches the X server itself to check the windows
# containers name.
find_library(STITCHARA_XCB_LIBRARY xcb REQUIRED)
target_link_libraries(stitchara_gui PUBLIC ${STITCHARA_XCB_LIBRARY})

# The test container: starts the program with the embedding switch on a
# private session bus under a real X server (Xvfb), embeds pictures in
# place in its own window and reads the changes back. Not installed.
stitchara_xvfb_test(embed_e2e SOURCE shell/embed/tests/e2e/embed_container_qt.cpp
                    PROGRAM embed_container LAUNCH dbus-run-session -- SCREEN 1024x768
                    DEPENDS stitchara)
