// Tag replacement over a working text whose "%" bytes are indexed: a tag is
// looked for only where a "%" stands, and the index follows each replacement,
// so a tag costs its occurrences rather than a sweep and copy of the text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The "%" bytes of a text, 0-based and ascending, and whether the text holds
// a 0x02 byte; meaningful only while `known`.
struct TPercentIndex {
  std::vector<std::size_t> at;
  bool marker = false;
  bool known = false;
};

// Indexes every "%" byte of `text` (and whether it holds a 0x02 byte).
void IndexPercents(const std::string& text, TPercentIndex& index);
// The text changed in a way the index did not follow.
inline void ForgetPercents(TPercentIndex& index) { index.known = false; }
// The "%" byte at `position` was overwritten by another byte (not 0x02).
void DropPercentAt(TPercentIndex& index, std::size_t position);
// The first "%" byte at or after `from` (npos: none); the index is known.
std::size_t NextPercentByte(const TPercentIndex& index, std::size_t from);

// Every occurrence of `tag` (which starts with "%") replaced by `word` in one
// left-to-right sweep; inserted words are not searched again. With
// `keep_numbered`, an occurrence followed by a digit "2".."9" stays, and every
// 0x02 byte of the result becomes "%". Fails, leaving `text` as it was, when
// the result would be longer than `limit`. `first_hit` receives where the
// first occurrence stood (npos: none). `scratch` is storage for rebuilding.
bool ReplaceTag(std::string& text, TPercentIndex& index, std::string& scratch,
                const std::string& tag, std::string_view word, bool keep_numbered,
                std::size_t limit, std::size_t& first_hit);
