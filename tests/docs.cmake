# The author's manual: every example in docs/*.md is run through the built
# programs and libraries by tests/docs/run_examples.py (docs/examples.md
# describes the example blocks). Programs that are not built yet are passed
# as empty paths; the examples that need them are reported as skipped.
find_package(Python3 COMPONENTS Interpreter)

if(Python3_Interpreter_FOUND AND TARGET shiori-term AND TARGET shiori AND TARGET makoto)
  set(DOCS_TOOL_ARGS)
  foreach(tool shiori-term shiori-seal makoto-table shiori-check)
    if(TARGET ${tool})
      list(APPEND DOCS_TOOL_ARGS --tool ${tool}=$<TARGET_FILE:${tool}>)
    endif()
  endforeach()
  add_test(NAME docs_examples
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/docs/run_examples.py
      --docs ${CMAKE_SOURCE_DIR}/docs
      --lib $<TARGET_FILE:shiori> --makoto-lib $<TARGET_FILE:makoto>
      ${DOCS_TOOL_ARGS})
  set_tests_properties(docs_examples PROPERTIES TIMEOUT 600)
endif()
