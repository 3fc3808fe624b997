// The word cache: the word chosen for each tag during one expansion, kept
// longest key first (latest first among keys of equal length).
#include "nsdic_cache.h"

#include <algorithm>
#include <cstring>

#include "ghost_assert.h"
#include "nsdic_index.h"

int WordCacheCount = 0;

namespace {

// The entries stand in g_cache[1..WordCacheCount] in the order they came;
// g_order[1..WordCacheCount] lists them longest key first, so an insertion
// moves indices, never strings, and every slot keeps its strings' storage.
TWordCache g_cache[kWordCacheCapacity + 1];
int g_order[kWordCacheCapacity + 1];
const TWordCache kNoEntry{};

TWordCache& Ordered(int k) { return g_cache[g_order[k]]; }

}  // namespace

void CacheWord(const std::string& key, const std::string& value, int32_t digit) {
  GHOST_ASSERT(WordCacheCount >= 0 && WordCacheCount <= kWordCacheCapacity);
  if (key.empty() || WordCacheCount >= kWordCacheCapacity) return;
  const int position = LongestFirstPosition(
      WordCacheCount, key.size(), [](int i) { return Ordered(i).Key.size(); });
  for (int i = position; i <= WordCacheCount && Ordered(i).Key.size() == key.size(); ++i) {
    TWordCache& same = Ordered(i);
    // Keys of one length differ mostly in their last byte: it is looked at first.
    if (same.Key.back() == key.back() && same.Key == key) {
      same.Value = value;
      same.Digit = digit;
      return;
    }
  }
  const int slot = WordCacheCount + 1;
  TWordCache& entry = g_cache[slot];
  entry.Key = key;
  entry.Value = value;
  entry.Digit = digit;
  std::copy_backward(g_order + position, g_order + slot, g_order + slot + 1);
  g_order[position] = slot;
  WordCacheCount = slot;
  // Longer keys stand before the new one, none longer after it.
  GHOST_ASSERT(position == 1 || Ordered(position - 1).Key.size() > key.size());
  GHOST_ASSERT(position == WordCacheCount || Ordered(position + 1).Key.size() <= key.size());
}

int CachedWordAt(const std::string& text, std::size_t start) {
  GHOST_ASSERT(start < text.size() && text[start] == '%');
  const char* data = text.data();
  const std::size_t size = text.size();
  for (int k = 1; k <= WordCacheCount; ++k) {
    const std::string& key = Ordered(k).Key;
    GHOST_ASSERT(!key.empty() && key[0] == '%');
    const std::size_t end = start + key.size();
    // The likeliest misses first: a key's last byte, then the byte after "%".
    if (end > size || data[end - 1] != key.back()) continue;
    if (key.size() > 1 && data[start + 1] != key[1]) continue;
    if (std::memcmp(data + start, key.data(), key.size()) != 0) continue;
    const bool digit_follows = end < size && data[end] >= '2' && data[end] <= '9';
    if (Ordered(k).Digit == 0 && digit_follows) continue;
    return k;
  }
  return 0;
}

void ClearWordCache() { WordCacheCount = 0; }

const TWordCache& WordCacheEntry(int k) {
  if (k < 1 || k > WordCacheCount) return kNoEntry;
  return Ordered(k);
}

void ResetWordCache() {
  for (TWordCache& entry : g_cache) entry = TWordCache{};
  WordCacheCount = 0;
}
