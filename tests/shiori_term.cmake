# The terminal host's test runs the built shiori-term program.
add_dependencies(test_shiori_term shiori-term)
target_compile_definitions(test_shiori_term PRIVATE GHOST_TERM_TOOL="$<TARGET_FILE:shiori-term>")
