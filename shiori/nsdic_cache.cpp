// The word cache: the word chosen for each tag during one expansion. Entries
// are kept in the order they came; the longest-first order that lookups
// follow is a property of the answer (the longest key standing at a place
// wins, and two keys of one length cannot both stand there), so neither a
// store nor a lookup keeps the entries sorted.
#include "nsdic_cache.h"

#include <algorithm>
#include <cstring>

#include "ghost_assert.h"

int WordCacheCount = 0;

namespace {

// g_cache[1..WordCacheCount] in the order they came, every slot keeping its
// strings' storage; beside them each key's size and last byte, the bytes a
// store and a lookup test first.
TWordCache g_cache[kWordCacheCapacity + 1];
std::size_t g_key_size[kWordCacheCapacity + 1];
char g_key_last[kWordCacheCapacity + 1];
// The entries longest key first (latest first among equals), built only when
// an entry is asked for by that position.
int g_order[kWordCacheCapacity + 1];
bool g_order_known = true;
const TWordCache kNoEntry{};

void SortOrder() {
  const int count = WordCacheCount;
  for (int k = 1; k <= count; ++k) g_order[k] = count + 1 - k;  // latest first
  std::stable_sort(g_order + 1, g_order + count + 1,
                   [](int a, int b) { return g_key_size[a] > g_key_size[b]; });
  g_order_known = true;
}

}  // namespace

void CacheWord(const std::string& key, const std::string& value, int32_t digit) {
  GHOST_ASSERT(WordCacheCount >= 0 && WordCacheCount <= kWordCacheCapacity);
  if (key.empty() || WordCacheCount >= kWordCacheCapacity) return;
  const std::size_t size = key.size();
  const char last = key.back();
  for (int i = 1; i <= WordCacheCount; ++i) {
    if (g_key_size[i] != size || g_key_last[i] != last || g_cache[i].Key != key) continue;
    g_cache[i].Value = value;
    g_cache[i].Digit = digit;
    return;
  }
  const int slot = WordCacheCount + 1;
  TWordCache& entry = g_cache[slot];
  entry.Key = key;
  entry.Value = value;
  entry.Digit = digit;
  g_key_size[slot] = size;
  g_key_last[slot] = last;
  WordCacheCount = slot;
  g_order_known = false;
}

const TWordCache* CachedWordAt(const std::string& text, std::size_t start) {
  GHOST_ASSERT(start < text.size() && text[start] == '%');
  const char* data = text.data();
  const std::size_t size = text.size();
  int best = 0;
  for (int i = 1; i <= WordCacheCount; ++i) {
    const std::size_t key_size = g_key_size[i];
    const std::size_t end = start + key_size;
    // The likeliest misses first: a key's last byte, then the byte after "%".
    if (end > size || data[end - 1] != g_key_last[i]) continue;
    if (best != 0 && key_size <= g_key_size[best]) continue;
    const std::string& key = g_cache[i].Key;
    GHOST_ASSERT(key.size() == key_size && !key.empty() && key[0] == '%');
    if (key_size > 1 && data[start + 1] != key[1]) continue;
    if (std::memcmp(data + start, key.data(), key_size) != 0) continue;
    const bool digit_follows = end < size && data[end] >= '2' && data[end] <= '9';
    if (g_cache[i].Digit == 0 && digit_follows) continue;
    // Two keys of one length standing at one place would be the same key.
    GHOST_ASSERT(best == 0 || g_key_size[best] != key_size);
    best = i;
  }
  return best == 0 ? nullptr : &g_cache[best];
}

void ClearWordCache() {
  WordCacheCount = 0;
  g_order_known = true;
}

const TWordCache& WordCacheEntry(int k) {
  if (k < 1 || k > WordCacheCount) return kNoEntry;
  if (!g_order_known) SortOrder();
  return g_cache[g_order[k]];
}

void ResetWordCache() {
  for (TWordCache& entry : g_cache) entry = TWordCache{};
  WordCacheCount = 0;
  g_order_known = true;
}
