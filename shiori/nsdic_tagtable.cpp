// The category tags by their bytes: open addressing with linear probing.
#include "nsdic_tagtable.h"

#include <cstring>

#include "ghost_assert.h"

namespace {

constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
constexpr std::size_t kFirstSlots = 64;

uint64_t Mix(uint64_t h, uint64_t word) {
  h = (h ^ word) * kMultiplier;
  return h ^ (h >> 29);
}

uint64_t Load(const char* bytes, std::size_t size) {
  uint64_t word = 0;
  std::memcpy(&word, bytes, size);
  return word;
}

// Every byte counts: a key of four to eight bytes is read as two (maybe
// overlapping) four-byte words; a longer one eight bytes at a step and its
// last eight bytes again; a shorter one byte by byte.
uint64_t HashOf(std::string_view key) {
  const char* bytes = key.data();
  const std::size_t size = key.size();
  const uint64_t h = Mix(0, size);
  if (size >= 4 && size <= 8) return Mix(h, Load(bytes, 4) << 32 | Load(bytes + size - 4, 4));
  if (size < 4) {
    uint64_t word = 0;
    for (std::size_t i = 0; i < size; ++i) word = word << 8 | static_cast<unsigned char>(bytes[i]);
    return Mix(h, word);
  }
  uint64_t sum = h;
  std::size_t at = 0;
  for (; at + 8 <= size; at += 8) sum = Mix(sum, Load(bytes + at, 8));
  if (at < size) sum = Mix(sum, Load(bytes + size - 8, 8));
  return sum;
}

// A short key compared in the two words its hash read, a call spared.
bool SameKey(std::string_view a, std::string_view b) {
  const std::size_t size = a.size();
  if (size != b.size()) return false;
  if (size >= 4 && size <= 8) {
    return Load(a.data(), 4) == Load(b.data(), 4) &&
           Load(a.data() + size - 4, 4) == Load(b.data() + size - 4, 4);
  }
  return std::memcmp(a.data(), b.data(), size) == 0;
}

void Place(std::vector<TTagTable::TSlot>& slots, const TTagTable::TSlot& entry) {
  const std::size_t mask = slots.size() - 1;
  std::size_t i = entry.hash & mask;
  while (slots[i].tag != nullptr) i = (i + 1) & mask;
  slots[i] = entry;
}

void Grow(TTagTable& table) {
  std::vector<TTagTable::TSlot> bigger(table.slots.empty() ? kFirstSlots : table.slots.size() * 2);
  for (const TTagTable::TSlot& entry : table.slots) {
    if (entry.tag != nullptr) Place(bigger, entry);
  }
  table.slots.swap(bigger);
}

}  // namespace

void MakeRoomForTag(TTagTable& table) {
  if ((table.count + 1) * 2 > table.slots.size()) Grow(table);
}

void AddTag(TTagTable& table, std::string_view key, const TCategoryTag* tag) {
  GHOST_ASSERT(tag != nullptr && FindTag(table, key) == nullptr);
  MakeRoomForTag(table);
  Place(table.slots, TTagTable::TSlot{HashOf(key), key, tag});
  ++table.count;
  // At most half full, so every probe meets an empty slot.
  GHOST_ASSERT(table.count * 2 <= table.slots.size());
}

const TCategoryTag* FindTag(const TTagTable& table, std::string_view key) {
  if (table.count == 0) return nullptr;
  const uint64_t hash = HashOf(key);
  const std::size_t mask = table.slots.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const TTagTable::TSlot& slot = table.slots[i];
    if (slot.tag == nullptr) return nullptr;
    if (slot.hash == hash && SameKey(slot.key, key)) return slot.tag;
  }
}
