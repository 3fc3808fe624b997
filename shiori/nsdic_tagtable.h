// The table that finds a category tag by its bytes: open addressing over a
// hash read eight bytes at a step, so a lookup at a "%" costs a few
// instructions per eight bytes of the tag and one comparison of the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct TCategoryTag;

struct TTagTable {
  struct TSlot {
    uint64_t hash = 0;
    std::string_view key;               // the tag's bytes, kept by its owner
    const TCategoryTag* tag = nullptr;  // null: an empty slot
  };
  std::vector<TSlot> slots;  // a power of two in size, at most half full
  std::size_t count = 0;
};

// Grows the table, if need be, so that the next AddTag allocates nothing.
void MakeRoomForTag(TTagTable& table);
// Files `tag` under `key`, whose bytes must stay where they are while the
// table holds them; `key` must not be filed already.
void AddTag(TTagTable& table, std::string_view key, const TCategoryTag* tag);
// The tag filed under exactly these bytes, or null.
const TCategoryTag* FindTag(const TTagTable& table, std::string_view key);
