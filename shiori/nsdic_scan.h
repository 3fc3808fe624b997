// WordsInText: every registered word found inside a text.
#pragma once

#include <string>

// One "word,category" line (CR LF ended) for every registered word found in
// the text, in the order of their start positions, shorter before longer.
std::string WordsInText(const std::string& text);
// The same by looking up every candidate in the word index's lookups: what
// WordsInText must equal.
std::string WordsInTextStepwise(const std::string& text);
