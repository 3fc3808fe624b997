# The author's manual: every example in docs/*.md is run through the built
# programs and libraries by tests/docs/run_examples.py (docs/examples.md
# describes the example blocks). An example that needs a program not passed
# here is reported as skipped.
find_package(Python3 COMPONENTS Interpreter)

if(Python3_Interpreter_FOUND)
  add_test(NAME docs_examples
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/docs/run_examples.py
      --docs ${CMAKE_SOURCE_DIR}/docs
      --lib $<TARGET_FILE:shiori> --makoto-lib $<TARGET_FILE:makoto>
      --tool shiori-term=$<TARGET_FILE:shiori-term>
      --tool shiori-seal=$<TARGET_FILE:shiori-seal>
      --tool makoto-table=$<TARGET_FILE:makoto-table>
      --tool shiori-check=$<TARGET_FILE:shiori-check>)
  set_tests_properties(docs_examples PROPERTIES TIMEOUT 600)
  # What the pages say `make tools` and `make run` build, and where, against
  # the commands the Makefile runs (`make -n`: nothing is built).
  find_program(GHOST_MAKE_PROGRAM make)
  if(GHOST_MAKE_PROGRAM)
    add_test(NAME docs_make_tools
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/docs/check_make_tools.py
        ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/quickstart.md)
  endif()
else()
  message(STATUS "docs_examples left out: no python3 to run the manual's examples")
endif()
