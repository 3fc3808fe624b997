// The dictionary parser: line classes, entry kinds and directives.
#pragma once

#include <string>

// Parses a joined dictionary text into the store; gives the number of word
// fields met in plain word-list entries. Builds the status line last.
int ParseDictionary(const std::string& text);
