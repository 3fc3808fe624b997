# The benchmark programs are built with the tests so that they keep
# compiling; one quick run on a freshly generated synthetic ghost checks that
# the harness and the libraries still agree (store counts, answers, tables).
include(${CMAKE_SOURCE_DIR}/bench/targets.cmake)

find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME bench_smoke
    COMMAND ${CMAKE_SOURCE_DIR}/bench/run ${CMAKE_BINARY_DIR}
      --ghost ${CMAKE_BINARY_DIR}/bench-smoke-ghost --quick)
  set_tests_properties(bench_smoke PROPERTIES TIMEOUT 120
    ENVIRONMENT PYTHON=${Python3_EXECUTABLE})
else()
  message(STATUS "bench_smoke left out: no python3 to write the synthetic ghost")
endif()
