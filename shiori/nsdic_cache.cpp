// The word cache: the word chosen for each tag during one expansion, kept
// longest key first (latest first among keys of equal length), at most 500.
#include <algorithm>

#include "nsdic.h"
#include "nsdic_index.h"

int WordCacheCount = 0;

namespace {

TWordCache g_cache[kWordCacheCapacity + 1];  // 1..WordCacheCount
const TWordCache kNoEntry{};

}  // namespace

void CacheWord(const std::string& key, const std::string& value, int32_t digit) {
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
  g_cache[position] = TWordCache{key, value, digit};
  ++WordCacheCount;
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
