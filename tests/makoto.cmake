# The translation module's end-to-end tests also drive the table tool.
if(TARGET test_makoto_e2e AND TARGET makoto-table)
  add_dependencies(test_makoto_e2e makoto-table)
  target_compile_definitions(test_makoto_e2e PRIVATE
    MAKOTO_TABLE_TOOL="$<TARGET_FILE:makoto-table>")
endif()
