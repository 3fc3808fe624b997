# The seal tool test runs the built tool; it learns its path here.
if(TARGET test_seal_tool AND TARGET shiori-seal)
  add_dependencies(test_seal_tool shiori-seal)
  target_compile_definitions(test_seal_tool PRIVATE SEAL_TOOL_PATH="$<TARGET_FILE:shiori-seal>")
endif()
