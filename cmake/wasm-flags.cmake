# The emscripten flags of every WebAssembly build of the project: the
# shipped modules (wasm.cmake) and the playground's tool module (web/).
# Included from a CMakeLists of an emscripten configure.
# The memory is fixed (no growth): a host that keeps a view of the heap
# across a call (nativeshiori reads the response length through one) would
# otherwise read a detached buffer. A failed allocation returns null (no
# abort), so the exports' barrier turns it into their usual answer.
set(GHOST_WASM_SHIORI_MEMORY 268435456 CACHE STRING "Fixed memory of shiori.wasm in bytes")
set(GHOST_WASM_MAKOTO_MEMORY 67108864 CACHE STRING "Fixed memory of makoto.wasm in bytes")

# Without -fexceptions a throw aborts the module: the exports' barrier
# relies on catching. No --closure: hosts call the Module's members by name.
set(GHOST_WASM_COMPILE_FLAGS -fexceptions)
set(GHOST_WASM_LINK_FLAGS
  -fexceptions
  -sMODULARIZE=1
  -sALLOW_MEMORY_GROWTH=0
  -sABORTING_MALLOC=0
  -sTOTAL_STACK=8388608
  -sFORCE_FILESYSTEM=1
  -lnodefs.js -lidbfs.js
  -sENVIRONMENT=web,worker,node
  -sNODEJS_CATCH_EXIT=0
  -sNODEJS_CATCH_REJECTION=0
  "-sEXPORTED_RUNTIME_METHODS=cwrap,ccall,intArrayFromString,intArrayToString,UTF8ToString,FS,MEMFS,NODEFS,IDBFS,PATH,ERRNO_CODES"
  --pre-js ${CMAKE_CURRENT_LIST_DIR}/wasm-pre.js)

# emcc runs Node.js while linking (its JavaScript optimiser), which needs the
# packages Debian installs under /usr/share/nodejs when this Node.js is not
# Debian's own.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)

add_compile_options(${GHOST_WASM_COMPILE_FLAGS})
# Each module is linked whole and nothing is loaded into it later, so no
# position-independent code.
set(CMAKE_POSITION_INDEPENDENT_CODE OFF)

