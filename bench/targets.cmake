# The benchmark programs: ghost-bench (the table of workloads and targets)
# and soak (a long mixed load, resident memory as it goes). They are hosts:
# they reach the libraries only through the host layer. Included by bench/
# and by the test build, so that every `make test` keeps them compiling.
include_guard(GLOBAL)

set(BENCH_DIR ${CMAKE_SOURCE_DIR}/bench)
add_library(bench_measure STATIC ${BENCH_DIR}/measure.cpp ${BENCH_DIR}/stats.cpp ${BENCH_DIR}/mix.cpp)
target_include_directories(bench_measure PUBLIC ${BENCH_DIR})
target_link_libraries(bench_measure PUBLIC ghost_host)

foreach(program ghost-bench soak)
  string(REPLACE "-" "_" source ${program})
  add_executable(${program} ${BENCH_DIR}/${source}.cpp)
  target_link_libraries(${program} PRIVATE bench_measure)
  target_compile_definitions(${program} PRIVATE
    SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    GHOST_SHIORI_LIBRARY="$<TARGET_FILE:shiori>"
    GHOST_MAKOTO_LIBRARY="$<TARGET_FILE:makoto>")
  set_target_properties(${program} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  add_dependencies(${program} shiori makoto)
endforeach()
