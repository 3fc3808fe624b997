# Configures (again: a quick check once configured) and builds one
# emscripten build folder with Debian's emscripten, Release:
#   cmake -DSOURCE_DIR=. -DBUILD_DIR=build-wasm [-DJOBS=2] -P cmake/build-emscripten.cmake
#   cmake -DSOURCE_DIR=web -DBUILD_DIR=build-web [-DJOBS=2] -P cmake/build-emscripten.cmake
# The first is the WebAssembly modules (`make wasm`), the second the
# playground page (`make web`); their tests' fixtures build through it too.
# emscripten's scripts need Debian's Node.js modules when the machine's node
# is another.
foreach(variable SOURCE_DIR BUILD_DIR)
  if(NOT ${variable})
    message(FATAL_ERROR "build-emscripten.cmake needs -D${variable}=...")
  endif()
endforeach()
if(NOT JOBS)
  cmake_host_system_information(RESULT JOBS QUERY NUMBER_OF_LOGICAL_CORES)
endif()
find_program(EMCMAKE emcmake)
if(NOT EMCMAKE)
  message(FATAL_ERROR "emcmake is missing: scripts/bootstrap --wasm installs Debian's emscripten")
endif()
if(DEFINED ENV{NODE_PATH} AND NOT "$ENV{NODE_PATH}" STREQUAL "")
  set(ENV{NODE_PATH} "/usr/share/nodejs:$ENV{NODE_PATH}")
else()
  set(ENV{NODE_PATH} "/usr/share/nodejs")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/configure-and-build.cmake)
configure_and_build(QUIET ${BUILD_DIR} ${JOBS}
  ${EMCMAKE} ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BUILD_DIR} -DCMAKE_BUILD_TYPE=Release -Wno-dev)
