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

include(${CMAKE_CURRENT_LIST_DIR}/configure-and-build.cmake)
configure_and_build(SHOW ${BUILD_DIR} ${JOBS}
  ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BUILD_DIR} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
    -DCMAKE_BUILD_TYPE=Release)
