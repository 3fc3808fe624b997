# The checker's tests link its units and run the built shiori-check (whose
# catalogs are compiled beside it).
target_link_libraries(test_check PRIVATE shiori_check_units)
add_dependencies(test_check shiori-check)
target_compile_definitions(test_check PRIVATE GHOST_CHECK_TOOL="$<TARGET_FILE:shiori-check>")
