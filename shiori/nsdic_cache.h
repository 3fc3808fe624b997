// The word cache: the word chosen for each tag during one expansion, so that
// a repeated tag gives the same word. Looked up longest key first, at most
// kWordCacheCapacity entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "UTypes.h"

extern int WordCacheCount;

// Remembers (or updates) the word of a tag; `digit` is the character code of
// the tag's number "2".."9", or 0.
void CacheWord(const std::string& key, std::string_view value, int32_t digit);
// CacheWord of an unnumbered tag whose text stays where it is while the
// cache holds it (a category tag's record) and of the text of word record
// `record`: neither is copied, the record's text is read when looked up.
void CacheRecordWord(const std::string& stable_key, int record);
// A cached tag and its word, valid until the cache or the word table next
// changes.
struct TCachedWord {
  const std::string* key = nullptr;  // null: none
  std::string_view value;
  int32_t digit = 0;
};
// The entry with the longest key that stands at the 0-based `start` of
// `text` (a "%") and that is numbered or, unnumbered, is not followed there
// by a digit "2".."9"; a null key when there is none.
TCachedWord CachedWordAt(const std::string& text, std::size_t start);
// Forgets every entry (the strings are kept for reuse).
void ClearWordCache();
// Entry k (1-based) in longest-key-first order (latest first among keys of
// equal length), or an entry with an empty Key past the end.
const TWordCache& WordCacheEntry(int k);
// Empties the word cache and releases its strings.
void ResetWordCache();
