# The editor support, tested without an editor (tests/editor/): the grammar
# of editors/vscode/ tokenizes the sample ghost and the manual's dictionary
# examples through vscode-textmate and vscode-oniguruma, and the extension's
# manifest and client are checked. scripts/bootstrap installs the pinned npm
# packages into GHOST_NPM_DIR/editor.
find_program(NODE_EXECUTABLE node)
set(GHOST_NPM_DIR ${CMAKE_SOURCE_DIR}/build-npm CACHE PATH "Where scripts/bootstrap installs npm packages")

if(NODE_EXECUTABLE)
  foreach(part grammar-scopes grammar-lines extension)
    string(REPLACE "-" "_" name "editor_${part}")
    add_test(NAME ${name}
      COMMAND ${NODE_EXECUTABLE} --test ${CMAKE_CURRENT_SOURCE_DIR}/editor/${part}.test.js)
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT NODE_PATH=${GHOST_NPM_DIR}/editor/node_modules LABELS npm TIMEOUT 300)
  endforeach()
endif()
