# The WebAssembly build of both libraries (emscripten; `make wasm` configures
# it with emcmake into build-wasm/). Its flags are in wasm-flags.cmake, which
# the playground page's module (web/) includes too.
#
# Each module is an emscripten factory script (MODULARIZE, a UMD-style
# script: a global in a page, module.exports under Node.js):
#   build-wasm/shiori.js + shiori.wasm   createShiori(options) -> Promise of Module
#   build-wasm/makoto.js + makoto.wasm   createMakoto(options) -> Promise of Module
# The Module has cwrap, ccall, intArrayFromString, intArrayToString, HEAPU8,
# HEAP32, _malloc, _free, FS (with MEMFS, NODEFS and IDBFS) and the exports
# as _load, _request, _unload (makoto: _load, _execute, _unload; and
# whichever of loadu, makoto's request the export files define), which take
# and give blocks of the module's _malloc exactly as the native libraries do.
#
include(${CMAKE_CURRENT_LIST_DIR}/wasm-flags.cmake)

# ghost_wasm_module(TARGET OUTPUT_NAME EXPORT_NAME MEMORY CORE SOURCE NAME...)
# links SOURCE (the library's exports, the same file as the native build's)
# over the static CORE into OUTPUT_NAME.js and OUTPUT_NAME.wasm, exporting
# each NAME that SOURCE defines as an export.
function(ghost_wasm_module target output export_name memory core source)
  file(READ ${source} text)
  set(exported _malloc _free)
  foreach(name IN LISTS ARGN)
    if(text MATCHES "GHOST_CALL ${name}\\(")
      list(APPEND exported _${name})
    endif()
  endforeach()
  list(JOIN exported "," exported)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  add_executable(${target} ${source})
  target_link_libraries(${target} PRIVATE ${core})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output} SUFFIX ".js"
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    LINK_DEPENDS ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/wasm-pre.js)
  target_link_options(${target} PRIVATE ${GHOST_WASM_LINK_FLAGS}
    -sEXPORT_NAME=${export_name} -sINITIAL_MEMORY=${memory}
    "-sEXPORTED_FUNCTIONS=${exported}")
endfunction()

add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/../shiori ${CMAKE_BINARY_DIR}/shiori)
add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/../makoto ${CMAKE_BINARY_DIR}/makoto)

ghost_wasm_module(shiori_wasm shiori createShiori ${GHOST_WASM_SHIORI_MEMORY}
  shiori_core ${CMAKE_CURRENT_LIST_DIR}/../shiori/shiori_exports.cpp load loadu request unload)
ghost_wasm_module(makoto_wasm makoto createMakoto ${GHOST_WASM_MAKOTO_MEMORY}
  makoto_core ${CMAKE_CURRENT_LIST_DIR}/../makoto/makoto_exports.cpp load execute request unload)
