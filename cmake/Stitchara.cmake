# Helpers shared by the subsystem folders.
#
# stitchara_library(NAME [DEPS libs...])
#   A static library of every *.cpp in the current folder (not in its subfolders)
#   except GUI sources, which end in _qt.cpp and belong to the application.
# stitchara_tests(NAME [DEPS libs...])
#   One GoogleTest executable of every *.cpp in tests/ beside it.

function(stitchara_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_qt\\.cpp$")
  if(NOT sources)
    # Nothing built here yet: an interface target keeps the dependents linking.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    if(ARG_DEPS)
      target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    endif()
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

function(stitchara_tests name)
  if(NOT STITCHARA_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "STITCHARA_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()

# stitchara_gui_tests(DIR folder [DEPS libs...])
#   One Qt Test executable per FOLDER/tests/gui/*_test.cpp (each file has its
#   own QTEST_MAIN), linked with the Qt layer and run on the offscreen platform.
function(stitchara_gui_tests)
  if(NOT STITCHARA_TESTS OR NOT STITCHARA_GUI)
    return()
  endif()
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${ARG_DIR}/tests/gui/*_test.cpp)
  foreach(src ${tests})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE stitchara_gui Qt6::Test ${ARG_DEPS})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;STITCHARA_BUILD_DIR=${CMAKE_BINARY_DIR};STITCHARA_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
      TIMEOUT 300)
  endforeach()
endfunction()

# A run of the application (or of a test program driving it) under its own
# X server (Xvfb), with real input events on a real display. SOURCE builds a
# test program named PROGRAM (NAME by default) from that file; RUN runs an
# existing one instead. ARGS go to the program, LAUNCH comes before xvfb-run
# (dbus-run-session --), SCREEN is the X screen, ENVIRONMENT is added to the
# usual variables. The runs take turns: xvfb-run -a picks its display number
# by looking for a free one, and two starting together can pick the same.
function(stitchara_xvfb_test NAME)
  if(NOT STITCHARA_TESTS OR NOT STITCHARA_GUI)
    return()
  endif()
  cmake_parse_arguments(ARG "" "SOURCE;PROGRAM;RUN;SCREEN;TIMEOUT"
                        "ARGS;LAUNCH;ENVIRONMENT;DEPENDS" ${ARGN})
  if(ARG_SOURCE)
    set(program ${NAME})
    if(ARG_PROGRAM)
      set(program ${ARG_PROGRAM})
    endif()
    add_executable(${program} ${CMAKE_SOURCE_DIR}/${ARG_SOURCE})
    set_target_properties(${program} PROPERTIES AUTOMOC ON)
    target_link_libraries(${program} PRIVATE stitchara_gui Qt6::Test)
    target_include_directories(${program} PRIVATE ${CMAKE_SOURCE_DIR})
  else()
    set(program ${ARG_RUN})
  endif()
  if(ARG_DEPENDS)
    add_dependencies(${program} ${ARG_DEPENDS})
  endif()
  if(NOT ARG_SCREEN)
    set(ARG_SCREEN 1280x1024)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${NAME}
           COMMAND ${ARG_LAUNCH} xvfb-run -a -s "-screen 0 ${ARG_SCREEN}x24"
                   $<TARGET_FILE:${program}> ${ARG_ARGS})
  set(environment QT_QPA_PLATFORM=xcb STITCHARA_BUILD_DIR=${CMAKE_BINARY_DIR}
                  STITCHARA_SOURCE_DIR=${CMAKE_SOURCE_DIR} ${ARG_ENVIRONMENT})
  # Alone on the machine: real input through a file dialog or a menu waits on
  # the dialog's own threads and timers, which a parallel build or test can
  # starve into a run that never ends.
  set_tests_properties(${NAME} PROPERTIES
    ENVIRONMENT "${environment}"
    TIMEOUT ${ARG_TIMEOUT}
    RESOURCE_LOCK x_server
    RUN_SERIAL TRUE)
endfunction()
