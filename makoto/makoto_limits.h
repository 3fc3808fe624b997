// The limits of the translation module, each named once with its reason:
// they belong to the table file format and the "&" forms, so tables and
// scripts written for the module rely on them.
#pragma once

#include <cstddef>

namespace makoto {

// A table file line holds at most this many characters before its break;
// longer lines are read in pieces of kMaxTableLine + 1 characters.
constexpr std::size_t kMaxTableLine = 998;
// The longest plain line whose enciphered form (five characters per four
// bytes) fits one table file line.
constexpr std::size_t kMaxPlainLine = kMaxTableLine / 5 * 4;
// "&s(a,b,...)" chooses among at most this many items; the last takes the
// rest of the text, commas included.
constexpr std::size_t kMaxChoiceItems = 200;

}  // namespace makoto
