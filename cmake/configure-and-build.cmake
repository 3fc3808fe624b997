# Included by the -P build scripts (build-windows.cmake, build-emscripten.cmake):
#   configure_and_build(QUIET|SHOW BUILD_DIR JOBS CONFIGURE_COMMAND...)
# runs the configure command (its output hidden with QUIET), then builds
# BUILD_DIR with JOBS jobs; a failure of either stops the script, naming
# BUILD_DIR.
function(configure_and_build output build_dir jobs)
  set(quiet)
  if(output STREQUAL "QUIET")
    set(quiet OUTPUT_QUIET)
  endif()
  execute_process(COMMAND ${ARGN} ${quiet} RESULT_VARIABLE configured)
  if(NOT configured EQUAL 0)
    message(FATAL_ERROR "configuring ${build_dir} failed")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${build_dir} -j ${jobs} RESULT_VARIABLE built)
  if(NOT built EQUAL 0)
    message(FATAL_ERROR "building ${build_dir} failed")
  endif()
endfunction()
