// The four open-addressing indexes over the store's records, their probe
// walks, and what the registrations remember so that lookups give the
// walk's answer without walking again; plus the text hash and the
// inspection of an index's slots.
//
// Every slot of an index is only ever filled, never emptied, so the slots a
// walk found occupied stay occupied. The byte-sum hash makes the step H2 a
// function of the home slot H1 (the modulus is prime and the multipliers are
// invertible), so every key with the same home slot follows the same probe
// chain; each chain remembers how far it is known to be occupied.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ghost_assert.h"
#include "ghost_limits.h"

constexpr int kHomeMultiplier = 257;   // H1
constexpr int kStepMultiplier = 131;   // H2

struct TProbeIndex {
  int modulus = 0;  // M: hash modulus and number of slots
  int region = 0;   // M for full probing, kNarrowRegion for narrow probing
  int limit = 0;    // moves a walk may make
  std::vector<int32_t> slots;          // 1..M; 0 = empty
  // By home slot: moves to the first slot not known occupied (at most the
  // limit, which 16 bits hold).
  std::vector<int16_t> frontier_move;
  std::vector<int32_t> frontier_slot;  // that slot; 0 = chain not walked yet
  int filled = 0;                      // slots filled
  // Slots and home slots written since the last reset; in blocks, which a
  // new entry never copies.
  std::deque<int32_t> used;
};

// Where a walk to the first empty slot stopped: the slot (0 when the counter
// ran out at an occupied slot) and the moves left on the counter there; and
// the home slot the walk started from.
struct TFreeSlot {
  int slot = 0;
  int moves_left = 0;
  int home = 0;
};

// (multiplier * byte sum) mod modulus + 1.
int HashText(const std::string& text, int multiplier, int modulus);
// HashText over any byte range.
int HashBytes(std::string_view text, int multiplier, int modulus);
// Home slot of a key whose bytes sum to `sum`.
int HomeOfSum(int64_t sum, int modulus);
int HomeSlot(const TProbeIndex& index, std::string_view key);
int StepOf(const TProbeIndex& index, std::string_view key);
// The slot after `slot` on a walk of step `step`. Inline: registration
// walks two chains a word.
inline int NextSlot(const TProbeIndex& index, int slot, int step) {
  return (slot + step) % index.region + 1;
}
// Full probing only: true when the key's walk never leaves its home slot
// (its step is 0 mod M).
bool StaysOnHome(const TProbeIndex& index, std::string_view key);
// The first empty slot of the key's chain, using and advancing the chain's
// remembered frontier.
TFreeSlot FindFreeSlot(TProbeIndex& index, std::string_view key);
// Starts the chain of `home` at its home slot, the first time a key of that
// home looks for a free slot.
void StartChain(TProbeIndex& index, int home);
// Whether `step` is the step of every key whose home slot is `home`.
bool IsStepOfHome(const TProbeIndex& index, int home, int step);
// The chain a key walks: its home slot and its step, both from its byte sum.
struct TChain {
  int home = 0;
  int step = 0;
};
inline TChain ChainOfSum(const TProbeIndex& index, uint64_t sum) {
  const int64_t m = index.modulus;
  const int64_t rest = static_cast<int64_t>(sum % static_cast<uint64_t>(m));
  return TChain{static_cast<int>(kHomeMultiplier * rest % m) + 1,
                static_cast<int>(kStepMultiplier * rest % m) + 1};
}
// FindFreeSlot of a key whose chain is known, for a caller that files many
// records under one key. Inline: registration looks for two free slots a
// word.
inline TFreeSlot FindFreeSlotOfChain(TProbeIndex& index, TChain chain) {
  const int home = chain.home;
  if (index.frontier_slot[home] == 0) StartChain(index, home);
  int slot = index.frontier_slot[home];
  int moves = index.frontier_move[home];
  const int limit = index.limit;
  const int32_t* slots = index.slots.data();
  GHOST_ASSERT(slot >= 1 && slot <= index.modulus && moves >= 0 && moves <= limit);
  if (slots[slot] != 0 && moves < limit) {
    // The chain is shared by every key of this home slot only because they
    // all take the same step.
    GHOST_ASSERT(IsStepOfHome(index, home, chain.step));
    do {
      slot = NextSlot(index, slot, chain.step);
      ++moves;
    } while (slots[slot] != 0 && moves < limit);
    index.frontier_slot[home] = slot;
    index.frontier_move[home] = static_cast<int16_t>(moves);
  }
  if (slots[slot] != 0) return TFreeSlot{0, 0, home};
  return TFreeSlot{slot, limit - moves, home};
}
// FindFreeSlot of a key whose bytes sum to `sum`, for a caller that has the
// sum already: both hashes follow from it.
inline TFreeSlot FindFreeSlotOfSum(TProbeIndex& index, uint64_t sum) {
  return FindFreeSlotOfChain(index, ChainOfSum(index, sum));
}
// Files `record` in the empty `slot`. Inline: registration fills two slots a
// word.
inline void FillSlot(TProbeIndex& index, int slot, int32_t record) {
  GHOST_ASSERT(slot >= 1 && slot <= index.modulus && record >= 1);
  GHOST_ASSERT(index.slots[slot] == 0);  // a slot is filled once, never emptied
  index.used.push_back(slot);
  index.slots[slot] = record;
  ++index.filled;
  GHOST_ASSERT(index.filled <= index.modulus);
}

extern TProbeIndex WordIndex;      // narrow, keyed by word text
extern TProbeIndex CategoryIndex;  // full, keyed by category
extern TProbeIndex LinkIndex;      // narrow, keyed by the first word's text
extern TProbeIndex EventIndex;     // full, keyed by event name

// Hash and equality that also take string_view, so lookups need no copy.
struct TBytesHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using TTextMap = std::unordered_map<std::string, int32_t, TBytesHash, std::equal_to<>>;
using TMemberMap =
    std::unordered_map<std::string, std::vector<int32_t>, TBytesHash, std::equal_to<>>;

// What the registrations remember.
struct TWordLookups {
  // The records by category and word: open addressing over a hash of the
  // two, a power-of-two size at most half full, 0 = an empty slot.
  std::vector<int32_t> pair_slots;
  std::vector<uint32_t> pair_hashes;  // by record: the slot bits of its pair's hash
  int pair_count = 0;
  TMemberMap categories;   // category -> records in CategoryIndex, in slot order of the walk
  uint64_t category_changes = 0;  // counts every change of `categories`, never reset
  TMemberMap events;       // event name -> EventTable records, in walk order
  std::vector<char> length_present;  // by byte length of stored words
  std::vector<char> home_present;    // by WordIndex home slot of stored words
  int longest = 0;                   // byte length of the longest stored word
  uint64_t resets = 0;               // counts the resets: what a caller keeps of
                                     // the members stays valid while it is unchanged
};
extern TWordLookups WordLookups;

// The matches a full walk from a key's home slot meets, in walk order,
// answered from the key's remembered member list.
struct TMemberView {
  const std::vector<int32_t>* records = nullptr;
  bool stays = false;  // the walk never leaves the home slot
  int count = 0;       // matches the walk counts
  // The k-th match (1 <= k <= count).
  int At(int k) const {
    GHOST_ASSERT(k >= 1 && k <= count);
    return stays ? (*records)[0] : (*records)[k - 1];
  }
};
TMemberView RememberedMembers(const TProbeIndex& index, const TMemberMap& members,
                              const std::string& key);
// CategoryMember / ConditionalMember: the count for k = 0, else the k-th
// record or 0.
int RememberedMember(const TProbeIndex& index, const TMemberMap& members,
                     const std::string& key, int k);

// Empties the four indexes and everything remembered about them, at the
// cost of what was written since the last reset.
void ResetIndexes();

// ---- Inspection --------------------------------------------------------------
enum class TStoreIndex { Word, Category, Link, Event };
// Record number held by `slot` of an index; 0 for an empty or invalid slot.
int IndexSlotValue(TStoreIndex index, int slot);

// Position (1-based) of the first of `count` entries, kept longest first,
// whose length is not greater than `length`; count + 1 when there is none.
template <typename LengthAt>
int LongestFirstPosition(int count, size_t length, LengthAt length_at) {
  int low = 1, high = count + 1;
  while (low < high) {
    const int mid = low + (high - low) / 2;
    if (length_at(mid) > length) low = mid + 1;
    else high = mid;
  }
  return low;
}
