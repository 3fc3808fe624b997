# The terminal host's units are tested directly, compiled into test_term.
if(TARGET test_term)
  target_sources(test_term PRIVATE
    ${CMAKE_SOURCE_DIR}/tools/term/term_charset.cpp
    ${CMAKE_SOURCE_DIR}/tools/term/term_render.cpp
    ${CMAKE_SOURCE_DIR}/tools/term/term_requests.cpp)
  target_include_directories(test_term PRIVATE ${CMAKE_SOURCE_DIR}/tools)
endif()
