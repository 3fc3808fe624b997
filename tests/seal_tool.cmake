# The seal tool test runs the built tool; it learns its path here.
add_dependencies(test_seal_tool shiori-seal)
target_compile_definitions(test_seal_tool PRIVATE GHOST_SEAL_TOOL="$<TARGET_FILE:shiori-seal>")
