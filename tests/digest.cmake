# The benchmark ghost's answers to a fixed request sequence against a digest
# taken before the fast paths: gen-ghost writes the ghost afresh (fixture
# bench_digest_ghost), then test_digest loads it through the core.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  set(GHOST_DIGEST_DIR ${CMAKE_BINARY_DIR}/bench-digest-ghost)
  add_executable(test_digest test_digest.cpp)
  target_link_libraries(test_digest PRIVATE shiori_core GTest::gtest GTest::gtest_main)
  add_test(NAME bench_digest_ghost
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/bench/gen-ghost ${GHOST_DIGEST_DIR})
  set_tests_properties(bench_digest_ghost PROPERTIES FIXTURES_SETUP digest_ghost TIMEOUT 120)
  add_test(NAME bench_digest COMMAND test_digest)
  set_tests_properties(bench_digest PROPERTIES FIXTURES_REQUIRED digest_ghost TIMEOUT 300
    ENVIRONMENT GHOST_DIGEST_GHOST=${GHOST_DIGEST_DIR})
else()
  message(STATUS "bench_digest left out: no python3 to write the synthetic ghost")
endif()
