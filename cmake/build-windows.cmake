# Configures (again: a quick check once configured) and builds
# one Windows build folder of the DLLs, Release:
#   cmake -DSOURCE_DIR=. -DBUILD_DIR=build-win32 -DTOOLCHAIN=cmake/mingw-i686.cmake
#         [-DJOBS=2] -P cmake/build-windows.cmake
# `make win32`, `make win64` and the tests' fixtures all build through it, so
# the folders are configured one way only.
foreach(variable SOURCE_DIR BUILD_DIR TOOLCHAIN)
  if(NOT ${variable})
    message(FATAL_ERROR "build-windows.cmake needs -D${variable}=...")
  endif()
endforeach()
if(NOT JOBS)
  cmake_host_system_information(RESULT JOBS QUERY NUMBER_OF_LOGICAL_CORES)
endif()
get_filename_component(TOOLCHAIN ${TOOLCHAIN} ABSOLUTE)

execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BUILD_DIR} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
    -DCMAKE_BUILD_TYPE=Release
  RESULT_VARIABLE configured)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "configuring ${BUILD_DIR} failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} -j ${JOBS} RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "building ${BUILD_DIR} failed")
endif()
