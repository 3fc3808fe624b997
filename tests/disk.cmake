# The file system refusing writes (test_disk.cpp): the built library in a
# child with a file size limit below what it must write.
add_executable(test_disk test_disk.cpp)
target_link_libraries(test_disk PRIVATE shiori_core ghost_host GTest::gtest GTest::gtest_main)
target_include_directories(test_disk PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(test_disk PRIVATE GHOST_SHIORI_LIBRARY="$<TARGET_FILE:shiori>")
add_dependencies(test_disk shiori)
gtest_discover_tests(test_disk TEST_PREFIX "disk." DISCOVERY_TIMEOUT 60
  PROPERTIES LABELS disk TIMEOUT 300)

# The test that changes user, from a copy of the build in a folder that only
# its owner may enter, so that the checkout's place cannot matter.
add_test(NAME disk.FromPrivateFolder
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/run-from-private-folder.sh $<TARGET_FILE:test_disk>
          $<TARGET_FILE:shiori> ${CMAKE_CURRENT_BINARY_DIR}/private-folder)
set_tests_properties(disk.FromPrivateFolder PROPERTIES LABELS disk TIMEOUT 120
  SKIP_RETURN_CODE 77)
