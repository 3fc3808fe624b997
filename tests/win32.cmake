# The scripted host built for Linux, and the tests of the Windows DLLs: their
# export and import tables, and the Wine test that runs the same script
# through the DLLs and through the Linux libraries and compares the two
# transcripts. Every Windows build folder is brought up to date from these
# sources by a fixture test (win32_dlls, win64_dlls) before any test that
# reads its DLLs, so no test ever sees stale ones; a further test of them
# adds FIXTURES_REQUIRED win32_dlls (or win64_dlls) and LABELS windows.
add_executable(win32_host_linux ${CMAKE_CURRENT_SOURCE_DIR}/win32/host.cpp)
target_link_libraries(win32_host_linux PRIVATE ${CMAKE_DL_LIBS})

set(WIN64_BUILD_DIR "" CACHE PATH "x86_64 mingw build of the DLLs (runs under Wine)")
set(WIN32_BUILD_DIR "" CACHE PATH "i686 mingw build of the DLLs (the deliverables)")

# The fixture test FIXTURE: configures (when needed) and builds BUILD_DIR
# with the toolchain file cmake/TOOLCHAIN. It runs alone: the build takes
# the machine's cores.
function(ghost_windows_build fixture build_dir toolchain)
  add_test(NAME ${fixture}
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DBUILD_DIR=${build_dir}
      -DTOOLCHAIN=${CMAKE_SOURCE_DIR}/cmake/${toolchain}
      -P ${CMAKE_SOURCE_DIR}/cmake/build-windows.cmake)
  set_tests_properties(${fixture} PROPERTIES FIXTURES_SETUP ${fixture} LABELS windows
    RUN_SERIAL ON TIMEOUT 1800)
endfunction()

if(WIN32_BUILD_DIR)
  ghost_windows_build(win32_dlls ${WIN32_BUILD_DIR} mingw-i686.cmake)
  add_test(NAME win32_dll_exports_and_imports
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/check-dlls.sh ${WIN32_BUILD_DIR} i686)
  set_tests_properties(win32_dll_exports_and_imports PROPERTIES
    FIXTURES_REQUIRED win32_dlls LABELS windows)
endif()
if(WIN64_BUILD_DIR)
  ghost_windows_build(win64_dlls ${WIN64_BUILD_DIR} mingw-x86_64.cmake)
  add_test(NAME win64_dll_exports_and_imports
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/check-dlls.sh ${WIN64_BUILD_DIR} x86_64)
  add_test(NAME wine_transcript_matches_linux
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/run-wine-test.sh
      $<TARGET_FILE:win32_host_linux> $<TARGET_FILE:shiori> $<TARGET_FILE:makoto>
      $<TARGET_FILE:makoto-table> ${WIN64_BUILD_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/win32
      ${CMAKE_BINARY_DIR}/wine-test)
  set_tests_properties(win64_dll_exports_and_imports PROPERTIES
    FIXTURES_REQUIRED win64_dlls LABELS windows)
  set_tests_properties(wine_transcript_matches_linux PROPERTIES
    FIXTURES_REQUIRED win64_dlls LABELS windows TIMEOUT 600)
endif()

# The i686 DLLs under a 32-bit Windows loader: 32-bit Wine in the test VM
# (scripts/vm), compared with the Linux libraries. The win32_dlls fixture
# first brings the i686 build up to date, so no stale DLL is run or checked.
add_executable(win32_proxy_host_linux ${CMAKE_CURRENT_SOURCE_DIR}/win32/vm/proxy-host.cpp)
target_link_libraries(win32_proxy_host_linux PRIVATE ${CMAKE_DL_LIBS})
if(WIN32_BUILD_DIR)
  add_test(NAME win32_vm_transcript_matches_linux
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/vm/run-vm-test.sh
      $<TARGET_FILE:win32_host_linux> $<TARGET_FILE:win32_proxy_host_linux>
      $<TARGET_FILE:shiori> $<TARGET_FILE:makoto> $<TARGET_FILE:makoto-table>
      $<TARGET_FILE:shiori-seal> ${WIN32_BUILD_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/win32
      ${CMAKE_BINARY_DIR}/win32-vm)
  set_tests_properties(win32_vm_transcript_matches_linux PROPERTIES
    TIMEOUT 1200 FIXTURES_REQUIRED win32_dlls LABELS windows)
endif()
