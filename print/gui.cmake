# Printing's end-to-end tests: stitchara-cli prints to PDF files and to a CUPS
# queue (the cups-pdf queue scripts/test.sh sets up), read back with pdftoppm.
if(STITCHARA_TESTS)
  find_package(Python3 COMPONENTS Interpreter)
  find_program(PDFTOPPM pdftoppm)
  if(Python3_Interpreter_FOUND AND PDFTOPPM)
    add_test(NAME print_cli_pdf
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/print/tests/e2e/print_cli_e2e.py
                     $<TARGET_FILE:stitchara-cli> ${CMAKE_BINARY_DIR}/artefacts/print_pdf pdf)
    add_test(NAME print_cli_cups
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/print/tests/e2e/print_cli_e2e.py
                     $<TARGET_FILE:stitchara-cli> ${CMAKE_BINARY_DIR}/artefacts/print_cups cups stitchara-pdf)
    # Posters: an A2 scan on A4 sheets, put back together from the pages.
    add_test(NAME print_poster_pdf
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/print/tests/e2e/print_cli_e2e.py
                     $<TARGET_FILE:stitchara-cli> ${CMAKE_BINARY_DIR}/artefacts/poster_pdf poster-pdf)
    add_test(NAME print_poster_cups
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/print/tests/e2e/print_cli_e2e.py
                     $<TARGET_FILE:stitchara-cli> ${CMAKE_BINARY_DIR}/artefacts/poster_cups poster-cups stitchara-pdf)
    set_tests_properties(print_cli_pdf print_cli_cups print_poster_pdf print_poster_cups
                         PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
  endif()
endif()

# The print sheet's Poster choice and the preview's sheets, driven by mouse and
# key events under a real X server as well as offscreen.
if(TARGET print_poster_test)
  stitchara_xvfb_test(print_poster_e2e RUN print_poster_test TIMEOUT 120)
endif()
