# The stitchara program, built beside stitchara-cli and palette.map, with the
# logo picture and the help pages beside it so that it runs from the build
# tree; and everything a Linux desktop needs when it is installed.
include(GNUInstallDirs)

add_executable(stitchara ${CMAKE_SOURCE_DIR}/shell/program/main_qt.cpp)
target_link_libraries(stitchara PRIVATE stitchara_gui)
set_target_properties(stitchara PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# The logo and the application icons are drawn by a small program of ours.
add_executable(stitchara_make_art ${CMAKE_SOURCE_DIR}/shell/app/tools/make_art.cpp)
target_link_libraries(stitchara_make_art PRIVATE stitchara_gui)
set(STITCHARA_ART_DIR ${CMAKE_BINARY_DIR}/art)
set(STITCHARA_LOGO ${CMAKE_BINARY_DIR}/bin/TESLOGO.BMP)
add_custom_command(
  OUTPUT ${STITCHARA_LOGO} ${STITCHARA_ART_DIR}/icons/256x256/org.stitchara.Stitchara.png
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
          $<TARGET_FILE:stitchara_make_art> ${STITCHARA_ART_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${STITCHARA_ART_DIR}/TESLOGO.BMP ${STITCHARA_LOGO}
  DEPENDS stitchara_make_art
  COMMENT "Drawing the logo and the icons")
add_custom_target(stitchara_art ALL DEPENDS ${STITCHARA_LOGO})
add_dependencies(stitchara stitchara_art)

# Help pages beside the program.
file(GLOB STITCHARA_HELP CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/help/*)
add_custom_target(stitchara_help ALL
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/resources/help ${CMAKE_BINARY_DIR}/bin/help
  SOURCES ${STITCHARA_HELP})
add_dependencies(stitchara stitchara_help)

# Translations: each resources/translations/stitchara_<language>.ts becomes a
# .qm beside the program (bin/translations), where it finds them in the build
# tree; installed under share/stitchara/translations.
find_program(STITCHARA_LRELEASE NAMES lrelease lrelease-qt6
             HINTS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS} ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_LIBEXECS}
                   /usr/lib/qt6/bin
             REQUIRED)
file(GLOB STITCHARA_TS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/translations/stitchara_*.ts)
set(STITCHARA_QM)
foreach(ts ${STITCHARA_TS})
  get_filename_component(ts_name ${ts} NAME_WE)
  set(qm ${CMAKE_BINARY_DIR}/bin/translations/${ts_name}.qm)
  add_custom_command(
    OUTPUT ${qm}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bin/translations
    COMMAND ${STITCHARA_LRELEASE} -silent ${ts} -qm ${qm}
    DEPENDS ${ts}
    COMMENT "Compiling the translation ${ts_name}")
  list(APPEND STITCHARA_QM ${qm})
endforeach()
add_custom_target(stitchara_translations ALL DEPENDS ${STITCHARA_QM} SOURCES ${STITCHARA_TS})
add_dependencies(stitchara stitchara_translations)

# Installation: the program, its data (the logo and help next to frame/ and
# wmark/), the desktop entry, the MIME type of the document files, the
# AppStream metadata and the icons.
set(app_install ${CMAKE_SOURCE_DIR}/shell/app/install)
install(TARGETS stitchara RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${STITCHARA_LOGO} DESTINATION ${CMAKE_INSTALL_DATADIR}/stitchara)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/help DESTINATION ${CMAKE_INSTALL_DATADIR}/stitchara)
install(FILES ${STITCHARA_QM} DESTINATION ${CMAKE_INSTALL_DATADIR}/stitchara/translations)
install(FILES ${app_install}/org.stitchara.Stitchara.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${app_install}/org.stitchara.Stitchara.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME org.stitchara.Stitchara.xml)
install(FILES ${app_install}/org.stitchara.Stitchara.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${app_install}/org.stitchara.Stitchara.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${STITCHARA_ART_DIR}/icons/${size}x${size}/org.stitchara.Stitchara.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

if(STITCHARA_TESTS)
  # The installed desktop files pass the desktop's own validators.
  find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
  find_program(APPSTREAMCLI appstreamcli)
  if(DESKTOP_FILE_VALIDATE)
    add_test(NAME app_desktop_file
             COMMAND ${DESKTOP_FILE_VALIDATE} ${app_install}/org.stitchara.Stitchara.desktop)
  endif()
  if(APPSTREAMCLI)
    add_test(NAME app_metainfo
             COMMAND ${APPSTREAMCLI} validate --no-net ${app_install}/org.stitchara.Stitchara.metainfo.xml)
  endif()
  # The application's tests run beside the program, where it finds its logo
  # and help pages.
  foreach(t app_test)
    if(TARGET ${t})
      set_target_properties(${t} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
      add_dependencies(${t} stitchara_help stitchara_art)
    endif()
  endforeach()
  # The translation test reads the compiled translations of the build tree.
  if(TARGET translation_test)
    add_dependencies(translation_test stitchara_translations)
  endif()
  # Every text of the Qt layer and the tables has a finished translation:
  # a new tr() text without one fails here (scripts/update_translations.sh
  # brings the .ts files up to date).
  find_program(STITCHARA_LUPDATE NAMES lupdate lupdate-qt6
               HINTS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS} ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_LIBEXECS}
                     /usr/lib/qt6/bin)
  if(STITCHARA_LUPDATE)
    add_test(NAME translations_complete COMMAND ${CMAKE_SOURCE_DIR}/scripts/update_translations.sh --check)
    set_tests_properties(translations_complete PROPERTIES ENVIRONMENT "LUPDATE=${STITCHARA_LUPDATE}")
  endif()
endif()

# End to end under Xvfb, with real input events on a real display.
stitchara_xvfb_test(app_e2e SOURCE shell/app/tests/e2e/app_e2e.cpp DEPENDS stitchara_help stitchara_art
                    ENVIRONMENT STITCHARA_ARTEFACTS=${CMAKE_BINARY_DIR}/artefacts)
if(TARGET app_e2e)
  set_target_properties(app_e2e PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endif()

# Printing with no printer (Print Preview and a print to PDF) and the view's
# keys in full screen, under a real X server as well as offscreen.
if(TARGET usability_test)
  stitchara_xvfb_test(usability_e2e RUN usability_test TIMEOUT 180)
endif()

# The long-work test measures how late a timer on the window's thread fires
# while a job runs: alone on the machine, so that other tests' load does not
# make the window's thread late.
if(TARGET long_work_test)
  set_tests_properties(long_work_test PROPERTIES RUN_SERIAL TRUE)
endif()
