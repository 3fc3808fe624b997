// The word cache: the word chosen for each tag during one expansion, kept
// longest key first (latest first among keys of equal length).
#include "nsdic_cache.h"

#include <algorithm>

#include "ghost_assert.h"
#include "nsdic_index.h"

int WordCacheCount = 0;

namespace {

TWordCache g_cache[kWordCacheCapacity + 1];  // 1..WordCacheCount
const TWordCache kNoEntry{};

}  // namespace

void CacheWord(const std::string& key, const std::string& value, int32_t digit) {
  GHOST_ASSERT(WordCacheCount >= 0 && WordCacheCount <= kWordCacheCapacity);
  if (key.empty() || WordCacheCount >= kWordCacheCapacity) return;
  const int position = LongestFirstPosition(
      WordCacheCount, key.size(), [](int i) { return g_cache[i].Key.size(); });
  for (int i = position; i <= WordCacheCount && g_cache[i].Key.size() == key.size(); ++i) {
    if (g_cache[i].Key == key) {
      g_cache[i].Value = value;
      g_cache[i].Digit = digit;
      return;
    }
  }
  std::move_backward(g_cache + position, g_cache + WordCacheCount + 1,
                     g_cache + WordCacheCount + 2);
  TWordCache& entry = g_cache[position];  // moved from: its strings are reused
  entry.Key = key;
  entry.Value = value;
  entry.Digit = digit;
  ++WordCacheCount;
  // Longer keys stand before the new one, none longer after it.
  GHOST_ASSERT(position == 1 || g_cache[position - 1].Key.size() > key.size());
  GHOST_ASSERT(position == WordCacheCount || g_cache[position + 1].Key.size() <= key.size());
}

void ClearWordCache() { WordCacheCount = 0; }

const TWordCache& WordCacheEntry(int k) {
  if (k < 1 || k > WordCacheCount) return kNoEntry;
  return g_cache[k];
}

void ResetWordCache() {
  for (TWordCache& entry : g_cache) entry = TWordCache{};
  WordCacheCount = 0;
}
