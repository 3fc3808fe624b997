# The scripted host built for Linux, and the test that runs the same script
# through the Windows DLLs under Wine and compares the two transcripts.
add_executable(win32_host_linux ${CMAKE_CURRENT_SOURCE_DIR}/win32/host.cpp)
target_link_libraries(win32_host_linux PRIVATE ${CMAKE_DL_LIBS})

set(WIN64_BUILD_DIR "" CACHE PATH "x86_64 mingw build of the DLLs (runs under Wine)")
set(WIN32_BUILD_DIR "" CACHE PATH "i686 mingw build of the DLLs (the deliverables)")

if(WIN32_BUILD_DIR AND TARGET shiori AND TARGET makoto)
  add_test(NAME win32_dll_exports_and_imports
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/check-dlls.sh ${WIN32_BUILD_DIR} i686)
endif()
if(WIN64_BUILD_DIR AND TARGET shiori AND TARGET makoto)
  add_test(NAME win64_dll_exports_and_imports
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/check-dlls.sh ${WIN64_BUILD_DIR} x86_64)
  add_test(NAME wine_transcript_matches_linux
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/run-wine-test.sh
      $<TARGET_FILE:win32_host_linux> $<TARGET_FILE:shiori> $<TARGET_FILE:makoto>
      $<TARGET_FILE:makoto-table> ${WIN64_BUILD_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/win32
      ${CMAKE_BINARY_DIR}/wine-test)
  set_tests_properties(wine_transcript_matches_linux PROPERTIES TIMEOUT 600)
endif()

# The i686 DLLs under a 32-bit Windows loader: 32-bit Wine in the test VM
# (scripts/vm), compared with the Linux libraries. A fixture first brings the
# i686 build up to date, so no stale DLL is run or checked.
add_executable(win32_proxy_host_linux ${CMAKE_CURRENT_SOURCE_DIR}/win32/vm/proxy-host.cpp)
target_link_libraries(win32_proxy_host_linux PRIVATE ${CMAKE_DL_LIBS})
if(WIN32_BUILD_DIR AND TARGET shiori AND TARGET makoto AND TARGET shiori-seal)
  add_test(NAME win32_build_up_to_date COMMAND ${CMAKE_COMMAND} --build ${WIN32_BUILD_DIR})
  set_tests_properties(win32_build_up_to_date PROPERTIES FIXTURES_SETUP win32_build)
  set_tests_properties(win32_dll_exports_and_imports PROPERTIES FIXTURES_REQUIRED win32_build)
  add_test(NAME win32_vm_transcript_matches_linux
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/vm/run-vm-test.sh
      $<TARGET_FILE:win32_host_linux> $<TARGET_FILE:win32_proxy_host_linux>
      $<TARGET_FILE:shiori> $<TARGET_FILE:makoto> $<TARGET_FILE:makoto-table>
      $<TARGET_FILE:shiori-seal> ${WIN32_BUILD_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/win32
      ${CMAKE_BINARY_DIR}/win32-vm)
  set_tests_properties(win32_vm_transcript_matches_linux PROPERTIES
    TIMEOUT 1200 FIXTURES_REQUIRED win32_build)
endif()
