# The benchmark programs: ghost-bench (the table of workloads and targets)
# and soak (a long mixed load, resident memory as it goes). They are hosts:
# they reach the libraries only through dlopen. Included by bench/ and by the
# test build, so that every `make test` keeps them compiling.
include_guard(GLOBAL)

set(BENCH_DIR ${CMAKE_SOURCE_DIR}/bench)
add_library(bench_host STATIC ${BENCH_DIR}/host.cpp ${BENCH_DIR}/stats.cpp ${BENCH_DIR}/mix.cpp)
target_include_directories(bench_host PUBLIC ${BENCH_DIR})
target_link_libraries(bench_host PUBLIC ${CMAKE_DL_LIBS})

set(BENCH_LIBRARY_DEFINITIONS SOURCE_DIR="${CMAKE_SOURCE_DIR}")
foreach(lib shiori makoto)
  string(TOUPPER ${lib} LIB)
  if(TARGET ${lib})
    list(APPEND BENCH_LIBRARY_DEFINITIONS ${LIB}_LIBRARY_PATH="$<TARGET_FILE:${lib}>")
  else()
    list(APPEND BENCH_LIBRARY_DEFINITIONS ${LIB}_LIBRARY_PATH="lib${lib}.so")
  endif()
endforeach()

foreach(program ghost-bench soak)
  string(REPLACE "-" "_" source ${program})
  add_executable(${program} ${BENCH_DIR}/${source}.cpp)
  target_link_libraries(${program} PRIVATE bench_host)
  target_compile_definitions(${program} PRIVATE ${BENCH_LIBRARY_DEFINITIONS})
  set_target_properties(${program} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  foreach(lib shiori makoto)
    if(TARGET ${lib})
      add_dependencies(${program} ${lib})
    endif()
  endforeach()
endforeach()
