// The prefixes of the macro definitions of one parser run in one byte trie,
// so that a line is scanned once for all of them instead of once for each.
#pragma once

#include <string>

// Adds the prefix of definition `index`; indexes come in increasing order.
void AddMacroPrefix(const std::string& prefix, int index);
// The smallest definition index >= `from` whose prefix occurs in `text`
// (an empty prefix occurs in every text), or -1 when there is none.
int FirstMacroOccurring(const std::string& text, int from);

// The start state: no prefix.
void ResetMacroScan();
