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

# D-Bus activation: a container's first call to the service starts the
# program with the embedding switch. Installed in share/dbus-1/services, next
# to the desktop entry's share/applications; the build tree has its own copy
# for the test below.
include(GNUInstallDirs)
set(embed_service_in ${CMAKE_SOURCE_DIR}/shell/embed/install/org.stitchara.Stitchara.service.in)
set(STITCHARA_EMBED_EXEC ${CMAKE_INSTALL_FULL_BINDIR}/stitchara)
configure_file(${embed_service_in} ${CMAKE_BINARY_DIR}/embed/install/org.stitchara.Stitchara.service @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/embed/install/org.stitchara.Stitchara.service
        DESTINATION ${CMAKE_INSTALL_DATADIR}/dbus-1/services)

if(STITCHARA_TESTS)
  # A private session bus that activates the build tree's program: the first
  # call starts it, and it ends by itself after its last document.
  set(STITCHARA_EMBED_EXEC ${CMAKE_BINARY_DIR}/bin/stitchara)
  set(STITCHARA_EMBED_SERVICE_DIR ${CMAKE_BINARY_DIR}/embed/services)
  configure_file(${embed_service_in} ${STITCHARA_EMBED_SERVICE_DIR}/org.stitchara.Stitchara.service @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/shell/embed/tests/e2e/session.conf.in ${CMAKE_BINARY_DIR}/embed/session.conf @ONLY)
  add_test(NAME embed_activation
           COMMAND xvfb-run -a -s "-screen 0 1024x768x24"
                   dbus-run-session --config-file=${CMAKE_BINARY_DIR}/embed/session.conf --
                   sh ${CMAKE_SOURCE_DIR}/shell/embed/tests/e2e/activation.sh)
  set_tests_properties(embed_activation PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb;STITCHARA_INI=${CMAKE_BINARY_DIR}/embed/activation.ini"
    TIMEOUT 120
    RESOURCE_LOCK x_server)
endif()
