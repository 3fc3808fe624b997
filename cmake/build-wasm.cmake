# Configures (again: a quick check once configured) and builds the
# WebAssembly build folder with Debian's emscripten, Release:
#   cmake -DSOURCE_DIR=. -DBUILD_DIR=build-wasm [-DJOBS=2] -P cmake/build-wasm.cmake
# `make wasm` and the tests' fixture both build through it.
foreach(variable SOURCE_DIR BUILD_DIR)
  if(NOT ${variable})
    message(FATAL_ERROR "build-wasm.cmake needs -D${variable}=...")
  endif()
endforeach()
if(NOT JOBS)
  cmake_host_system_information(RESULT JOBS QUERY NUMBER_OF_LOGICAL_CORES)
endif()
find_program(EMCMAKE emcmake)
if(NOT EMCMAKE)
  message(FATAL_ERROR "emcmake is missing: scripts/bootstrap --wasm installs emscripten")
endif()

execute_process(
  COMMAND ${EMCMAKE} ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BUILD_DIR} -DCMAKE_BUILD_TYPE=Release
  OUTPUT_QUIET RESULT_VARIABLE configured)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "configuring ${BUILD_DIR} failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} -j ${JOBS} RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "building ${BUILD_DIR} failed")
endif()
