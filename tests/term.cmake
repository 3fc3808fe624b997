# The terminal host's units are tested directly, linked into test_term.
target_link_libraries(test_term PRIVATE shiori_term_units)
