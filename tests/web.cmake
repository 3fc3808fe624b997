# The playground page (web/) in a real browser: a fixture test brings the
# page's WebAssembly build folder (WEB_BUILD_DIR, emscripten) up to date,
# then tests/web/playground-session.js drives the page in Debian's headless
# chromium through playwright-core (installed by scripts/bootstrap into
# GHOST_NPM_DIR/web). Label "web": `make check` leaves both out.
find_program(NODE_EXECUTABLE node)
find_program(GHOST_CHROMIUM chromium)
find_program(GHOST_EMCMAKE emcmake)
set(GHOST_NPM_DIR ${CMAKE_SOURCE_DIR}/build-npm CACHE PATH "Where scripts/bootstrap installs npm packages")
set(WEB_BUILD_DIR ${CMAKE_SOURCE_DIR}/build-web CACHE PATH "The playground page's emscripten build")

if(NODE_EXECUTABLE AND GHOST_CHROMIUM AND GHOST_EMCMAKE)
  # Alone: the first build compiles the core and the checker for WebAssembly
  # on every core (a few minutes; seconds once built).
  add_test(NAME web_page_build
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}/web -DBUILD_DIR=${WEB_BUILD_DIR}
      -P ${CMAKE_SOURCE_DIR}/cmake/build-emscripten.cmake)
  set_tests_properties(web_page_build PROPERTIES FIXTURES_SETUP web_page LABELS web
    RUN_SERIAL ON TIMEOUT 1800)

  add_test(NAME web_playground_session
    COMMAND ${NODE_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/web/playground-session.js
      ${WEB_BUILD_DIR}/site ${GHOST_CHROMIUM} ${CMAKE_BINARY_DIR}/web-test/failure.png)
  set_tests_properties(web_playground_session PROPERTIES
    ENVIRONMENT NODE_PATH=${GHOST_NPM_DIR}/web/node_modules LABELS web TIMEOUT 300
    FIXTURES_REQUIRED web_page)
else()
  message(STATUS "playground page tests left out: needs node, chromium and emcmake "
    "(scripts/bootstrap installs them)")
endif()
