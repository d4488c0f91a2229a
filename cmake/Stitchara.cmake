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
