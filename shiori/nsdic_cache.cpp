// The word cache: the word chosen for each tag during one expansion. Entries
// are kept in the order they came; the longest-first order that lookups
// follow is a property of the answer (the longest key standing at a place
// wins, and two keys of one length cannot both stand there), so neither a
// store nor a lookup keeps the entries sorted.
#include "nsdic_cache.h"

#include <algorithm>
#include <cstring>

#include "ghost_assert.h"
#include "nsdic.h"

int WordCacheCount = 0;

namespace {

// g_cache[1..WordCacheCount] in the order they came, every slot keeping its
// strings' storage; beside them each key's size and last byte, the bytes a
// store and a lookup test first. A slot whose key or word is held elsewhere
// names it in g_key_of or g_record_of; its own strings are then filled only
// when the entry is asked for whole.
TWordCache g_cache[kWordCacheCapacity + 1];
std::size_t g_key_size[kWordCacheCapacity + 1];
char g_key_last[kWordCacheCapacity + 1];
const std::string* g_key_of[kWordCacheCapacity + 1];  // null: the slot's own Key
int g_record_of[kWordCacheCapacity + 1];              // -1: the slot's own Value
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

namespace {

const std::string& KeyOf(int slot) {
  return g_key_of[slot] != nullptr ? *g_key_of[slot] : g_cache[slot].Key;
}

std::string_view ValueOf(int slot) {
  return g_record_of[slot] >= 0 ? WordTable[g_record_of[slot]].Text : g_cache[slot].Value;
}

// The slot holding `key`, or 0.
int SlotOfKey(const std::string& key) {
  const std::size_t size = key.size();
  const char last = key.back();
  for (int i = 1; i <= WordCacheCount; ++i) {
    if (g_key_size[i] == size && g_key_last[i] == last && KeyOf(i) == key) return i;
  }
  return 0;
}

// The next slot, its key described (and held by the caller or the slot).
int NewSlot(const std::string& key) {
  const int slot = WordCacheCount + 1;
  g_key_size[slot] = key.size();
  g_key_last[slot] = key.back();
  WordCacheCount = slot;
  g_order_known = false;
  return slot;
}

}  // namespace

void CacheWord(const std::string& key, std::string_view value, int32_t digit) {
  GHOST_ASSERT(WordCacheCount >= 0 && WordCacheCount <= kWordCacheCapacity);
  if (key.empty() || WordCacheCount >= kWordCacheCapacity) return;
  int slot = SlotOfKey(key);
  if (slot == 0) {
    slot = NewSlot(key);
    g_cache[slot].Key = key;
    g_key_of[slot] = nullptr;
  }
  g_cache[slot].Value = value;
  g_record_of[slot] = -1;
  g_cache[slot].Digit = digit;
}

void CacheRecordWord(const std::string& stable_key, int record) {
  GHOST_ASSERT(WordCacheCount >= 0 && WordCacheCount <= kWordCacheCapacity);
  GHOST_ASSERT(record >= 0 && record <= WordCount);
  if (stable_key.empty() || WordCacheCount >= kWordCacheCapacity) return;
  int slot = SlotOfKey(stable_key);
  if (slot == 0) {
    slot = NewSlot(stable_key);
    g_key_of[slot] = &stable_key;
  }
  g_record_of[slot] = record;
  g_cache[slot].Digit = 0;
}

TCachedWord CachedWordAt(const std::string& text, std::size_t start) {
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
    const std::string& key = KeyOf(i);
    GHOST_ASSERT(key.size() == key_size && !key.empty() && key[0] == '%');
    if (key_size > 1 && data[start + 1] != key[1]) continue;
    if (std::memcmp(data + start, key.data(), key_size) != 0) continue;
    const bool digit_follows = end < size && data[end] >= '2' && data[end] <= '9';
    if (g_cache[i].Digit == 0 && digit_follows) continue;
    // Two keys of one length standing at one place would be the same key.
    GHOST_ASSERT(best == 0 || g_key_size[best] != key_size);
    best = i;
  }
  if (best == 0) return TCachedWord{};
  return TCachedWord{&KeyOf(best), ValueOf(best), g_cache[best].Digit};
}

void ClearWordCache() {
  WordCacheCount = 0;
  g_order_known = true;
}

const TWordCache& WordCacheEntry(int k) {
  if (k < 1 || k > WordCacheCount) return kNoEntry;
  if (!g_order_known) SortOrder();
  const int slot = g_order[k];
  TWordCache& entry = g_cache[slot];
  if (g_key_of[slot] != nullptr) entry.Key = *g_key_of[slot];
  if (g_record_of[slot] >= 0) entry.Value = WordTable[g_record_of[slot]].Text;
  return entry;
}

void ResetWordCache() {
  for (TWordCache& entry : g_cache) entry = TWordCache{};
  WordCacheCount = 0;
  g_order_known = true;
}
