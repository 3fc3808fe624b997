// The word cache: the word chosen for each tag during one expansion, so that
// a repeated tag gives the same word. Looked up longest key first, at most
// kWordCacheCapacity entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "UTypes.h"

extern int WordCacheCount;

// Remembers (or updates) the word of a tag; `digit` is the character code of
// the tag's number "2".."9", or 0.
void CacheWord(const std::string& key, const std::string& value, int32_t digit);
// The entry with the longest key that stands at the 0-based `start` of
// `text` (a "%") and that is numbered or, unnumbered, is not followed there
// by a digit "2".."9"; null when there is none. It stays valid until the
// cache is next changed.
const TWordCache* CachedWordAt(const std::string& text, std::size_t start);
// Forgets every entry (the strings are kept for reuse).
void ClearWordCache();
// Entry k (1-based) in longest-key-first order (latest first among keys of
// equal length), or an entry with an empty Key past the end.
const TWordCache& WordCacheEntry(int k);
// Empties the word cache and releases its strings.
void ResetWordCache();
