# Valgrind's memcheck over the end-to-end tests of the Linux libraries: it
# sees reads of uninitialised memory, which AddressSanitizer does not. The
# chosen programs drive every export of both libraries (each request type,
# the block rules, the host layer, every capacity filled to its limit, the
# translation module, the sample ghost's session). The terminal host's test
# is left out: it adds 40 seconds for a session the sample session covers.
# Not in sanitizer builds: valgrind cannot run them.
if(NOT GHOST_SANITIZE)
  find_program(GHOST_VALGRIND valgrind)
  set(memcheck_programs requests_e2e exports_e2e host limits makoto_e2e)
  set(memcheck_tests memcheck_sample_session)
  foreach(program ${memcheck_programs})
    list(APPEND memcheck_tests memcheck_${program})
  endforeach()
  if(GHOST_VALGRIND)
    # Children that exec are checked too (the death tests run the program
    # again), but not the shell and the tools some tests run: they are not
    # the libraries.
    set(memcheck_options -q --trace-children=yes
      --trace-children-skip=/bin/sh,/usr/bin/sh,*/makoto-table,*/shiori-seal,*/shiori-term
      --suppressions=${CMAKE_CURRENT_SOURCE_DIR}/memcheck/loader.supp
      --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite)
    foreach(program ${memcheck_programs})
      add_test(NAME memcheck_${program}
        COMMAND ${GHOST_VALGRIND} ${memcheck_options} $<TARGET_FILE:test_${program}>)
    endforeach()
    # The limits' speed checks bound wall time, which valgrind stretches
    # twenty-fold: left to the plain and sanitizer runs.
    set_tests_properties(memcheck_limits PROPERTIES ENVIRONMENT
      "GTEST_FILTER=-Limits.FormulasOfTenThousandOperators:Limits.TemplateOfOneHundredThousandNestedFormulas:Limits.DictionaryLinesOfOneMebibyte:Limits.DictionariesTheFuzzerFoundSlowLoadAndAnswerQuickly")
    add_test(NAME memcheck_sample_session
      COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/memcheck/sample-session.sh
        "${GHOST_VALGRIND};${memcheck_options}"
        $<TARGET_FILE:win32_host_linux> $<TARGET_FILE:shiori> $<TARGET_FILE:makoto>
        ${CMAKE_SOURCE_DIR}/examples/ghost ${CMAKE_CURRENT_SOURCE_DIR}/protocol/sample-session.txt
        ${CMAKE_BINARY_DIR}/memcheck-session)
  else()
    # Fails with the reason rather than passing unseen.
    foreach(name ${memcheck_tests})
      add_test(NAME ${name}
        COMMAND sh -c "echo 'valgrind is missing: run scripts/bootstrap' >&2; exit 1")
    endforeach()
  endif()
  set_tests_properties(${memcheck_tests} PROPERTIES LABELS memcheck TIMEOUT 900)
endif()
