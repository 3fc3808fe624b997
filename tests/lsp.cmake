# The language server, driven without an editor (tests/lsp/): a scripted
# client on vscode-jsonrpc and vscode-languageserver-protocol runs one
# session over the sample ghost, and random edit sequences must never
# crash the server or lose its copy of the text. scripts/bootstrap
# installs the pinned npm packages into GHOST_NPM_DIR/lsp.
# test_lsp tests the server's own units without npm.
target_link_libraries(test_lsp PRIVATE shiori_lsp_units)

find_program(NODE_EXECUTABLE node)
set(GHOST_NPM_DIR ${CMAKE_SOURCE_DIR}/build-npm CACHE PATH "Where scripts/bootstrap installs npm packages")

if(NODE_EXECUTABLE)
  foreach(part session edit-fuzz)
    string(REPLACE "-" "_" name "lsp_${part}")
    add_test(NAME ${name}
      COMMAND ${NODE_EXECUTABLE} --test ${CMAKE_CURRENT_SOURCE_DIR}/lsp/${part}.test.js)
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "NODE_PATH=${GHOST_NPM_DIR}/lsp/node_modules;SHIORI_LSP=$<TARGET_FILE:shiori-lsp>;GHOST_SOURCE_DIR=${CMAKE_SOURCE_DIR};LANG=C.UTF-8"
      LABELS npm TIMEOUT 120)
  endforeach()
endif()
