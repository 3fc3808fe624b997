# The translation module's end-to-end tests also drive the table tool.
add_dependencies(test_makoto_e2e makoto-table)
target_compile_definitions(test_makoto_e2e PRIVATE GHOST_TABLE_TOOL="$<TARGET_FILE:makoto-table>")
