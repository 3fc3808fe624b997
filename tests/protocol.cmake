# Every response of the scripted sessions is read by a third-party SHIORI
# message parser (the npm package shiorijk, installed by scripts/bootstrap
# into GHOST_NPM_DIR): the sample ghost's session here, and both transcripts
# of the Wine test.
find_program(NODE_EXECUTABLE node)
set(GHOST_NPM_DIR ${CMAKE_SOURCE_DIR}/build-npm CACHE PATH "Where scripts/bootstrap installs npm packages")
set(PROTOCOL_NODE_MODULES ${GHOST_NPM_DIR}/protocol/node_modules)
set(PROTOCOL_CHECKER ${CMAKE_CURRENT_SOURCE_DIR}/protocol/check-responses.js)

if(NODE_EXECUTABLE)
  add_test(NAME protocol_sample_session_parses
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/protocol/run-sample-session.sh
      $<TARGET_FILE:win32_host_linux> $<TARGET_FILE:shiori> $<TARGET_FILE:makoto>
      ${CMAKE_SOURCE_DIR}/examples/ghost ${CMAKE_CURRENT_SOURCE_DIR}/protocol/sample-session.txt
      ${CMAKE_BINARY_DIR}/protocol-session ${NODE_EXECUTABLE} ${PROTOCOL_CHECKER})
  set_tests_properties(protocol_sample_session_parses PROPERTIES
    ENVIRONMENT NODE_PATH=${PROTOCOL_NODE_MODULES} LABELS npm)

  if(TEST wine_transcript_matches_linux)
    set_tests_properties(wine_transcript_matches_linux PROPERTIES FIXTURES_SETUP wine_transcripts)
    add_test(NAME wine_responses_parse
      COMMAND ${NODE_EXECUTABLE} ${PROTOCOL_CHECKER}
        ${CMAKE_CURRENT_SOURCE_DIR}/win32/script.txt
        ${CMAKE_BINARY_DIR}/wine-test/linux.txt ${CMAKE_BINARY_DIR}/wine-test/win.txt)
    set_tests_properties(wine_responses_parse PROPERTIES
      ENVIRONMENT NODE_PATH=${PROTOCOL_NODE_MODULES} LABELS "npm;windows"
      FIXTURES_REQUIRED wine_transcripts)
  endif()
else()
  message(STATUS "protocol tests left out: no node (scripts/bootstrap installs it)")
endif()
