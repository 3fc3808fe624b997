# Allocation failure at every site (tests/alloc/): the built libraries driven
# through their exports with the Nth allocation failing, one forked child per
# N. The failing malloc replaces the C library's, which the sanitizers also
# do, so these run in the plain build only.
if(NOT GHOST_SANITIZE)
  add_executable(test_alloc alloc/test_alloc.cpp alloc/failing_malloc.cpp)
  target_include_directories(test_alloc PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(test_alloc PRIVATE shiori_core ${CMAKE_DL_LIBS})
  target_compile_definitions(test_alloc PRIVATE
    GHOST_SHIORI_LIBRARY="$<TARGET_FILE:shiori>"
    GHOST_MAKOTO_LIBRARY="$<TARGET_FILE:makoto>")
  add_dependencies(test_alloc shiori makoto)
  # The units where a failed allocation once broke something, each at every
  # allocation of its operation.
  add_executable(test_alloc_units alloc/test_alloc_units.cpp alloc/failing_malloc.cpp)
  target_include_directories(test_alloc_units PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(test_alloc_units PRIVATE shiori_core makoto_core)
  add_test(NAME alloc_units COMMAND test_alloc_units ${CMAKE_SOURCE_DIR}/examples/ghost)
  set_tests_properties(alloc_units PROPERTIES LABELS alloc TIMEOUT 600)
  foreach(module shiori makoto)
    add_test(NAME alloc_${module}
      COMMAND test_alloc ${module} ${CMAKE_SOURCE_DIR}/examples/ghost)
    set_tests_properties(alloc_${module} PROPERTIES LABELS alloc TIMEOUT 600)
  endforeach()
endif()
