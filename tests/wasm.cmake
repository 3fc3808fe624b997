# The WebAssembly modules under Node.js, loaded by the npm package
# nativeshiori (installed by scripts/bootstrap into GHOST_NPM_DIR), against
# the Linux libraries over the sample ghost (tests/wasm/compare-with-linux.sh),
# and what a fixed memory promises such a loader (tests/wasm/fixed-memory.js).
# The fixture test wasm_modules first brings WASM_BUILD_DIR up to date, so
# no stale module is run.
set(WASM_BUILD_DIR "" CACHE PATH "emscripten build of the WebAssembly modules (make wasm)")

if(WASM_BUILD_DIR AND NODE_EXECUTABLE)
  add_test(NAME wasm_modules
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DBUILD_DIR=${WASM_BUILD_DIR}
      -P ${CMAKE_SOURCE_DIR}/cmake/build-emscripten.cmake)
  set_tests_properties(wasm_modules PROPERTIES FIXTURES_SETUP wasm_modules
    LABELS "npm;wasm" RUN_SERIAL ON TIMEOUT 1800)

  add_test(NAME wasm_session_matches_linux
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wasm/compare-with-linux.sh
      $<TARGET_FILE:win32_host_linux> $<TARGET_FILE:shiori> $<TARGET_FILE:makoto>
      ${WASM_BUILD_DIR} ${CMAKE_SOURCE_DIR}/examples/ghost
      ${CMAKE_CURRENT_SOURCE_DIR}/protocol/sample-session.txt ${CMAKE_CURRENT_SOURCE_DIR}/wasm
      ${CMAKE_BINARY_DIR}/wasm-session ${NODE_EXECUTABLE} ${PROTOCOL_CHECKER})
  set_tests_properties(wasm_session_matches_linux PROPERTIES
    ENVIRONMENT NODE_PATH=${GHOST_NPM_DIR}/wasm/node_modules
    FIXTURES_REQUIRED wasm_modules LABELS "npm;wasm" TIMEOUT 600)

  add_test(NAME wasm_memory_is_fixed
    COMMAND ${NODE_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/wasm/fixed-memory.js
      ${WASM_BUILD_DIR} ${CMAKE_SOURCE_DIR}/examples/ghost)
  set_tests_properties(wasm_memory_is_fixed PROPERTIES
    ENVIRONMENT NODE_PATH=${GHOST_NPM_DIR}/wasm/node_modules
    FIXTURES_REQUIRED wasm_modules LABELS "npm;wasm" TIMEOUT 300)
endif()
