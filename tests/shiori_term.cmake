# The terminal host's test runs the built shiori-term program.
if(TARGET shiori-term AND TARGET test_shiori_term)
  add_dependencies(test_shiori_term shiori-term)
  target_compile_definitions(test_shiori_term PRIVATE
    SHIORI_TERM_PATH="$<TARGET_FILE:shiori-term>")
endif()
