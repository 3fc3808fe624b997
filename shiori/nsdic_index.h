// Private to the nsdic_* units: the four open-addressing indexes over the
// store's records, their probe walks, and what the registrations remember so
// that lookups give the walk's answer without walking again.
//
// Every slot of an index is only ever filled, never emptied, so the slots a
// walk found occupied stay occupied. The byte-sum hash makes the step H2 a
// function of the home slot H1 (the modulus is prime and the multipliers are
// invertible), so every key with the same home slot follows the same probe
// chain; each chain remembers how far it is known to be occupied.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

constexpr int kNarrowRegion = 16384;   // slots a narrow walk moves within
constexpr int kHomeMultiplier = 257;   // H1
constexpr int kStepMultiplier = 131;   // H2

struct ProbeIndex {
  int modulus = 0;  // M: hash modulus and number of slots
  int region = 0;   // M for full probing, kNarrowRegion for narrow probing
  int limit = 0;    // moves a walk may make
  std::vector<int32_t> slots;          // 1..M; 0 = empty
  std::vector<int32_t> frontier_move;  // by home slot: moves to the first slot not known occupied
  std::vector<int32_t> frontier_slot;  // that slot; 0 = chain not walked yet
};

// Where a walk to the first empty slot stopped: the slot (0 when the counter
// ran out at an occupied slot) and the moves left on the counter there.
struct FreeSlot {
  int slot = 0;
  int moves_left = 0;
};

// HashText over any byte range; (multiplier * byte sum) mod modulus + 1.
int HashBytes(std::string_view text, int multiplier, int modulus);
// Home slot of a key whose bytes sum to `sum`.
int HomeOfSum(int64_t sum, int modulus);
int HomeSlot(const ProbeIndex& index, std::string_view key);
int StepOf(const ProbeIndex& index, std::string_view key);
int NextSlot(const ProbeIndex& index, int slot, int step);
// Full probing only: true when the key's walk never leaves its home slot
// (its step is 0 mod M).
bool StaysOnHome(const ProbeIndex& index, std::string_view key);
// The first empty slot of the key's chain, using and advancing the chain's
// remembered frontier.
FreeSlot FindFreeSlot(ProbeIndex& index, std::string_view key);

extern ProbeIndex g_word_index;      // narrow, keyed by word text
extern ProbeIndex g_category_index;  // full, keyed by category
extern ProbeIndex g_link_index;      // narrow, keyed by the first word's text
extern ProbeIndex g_event_index;     // full, keyed by event name

// Hash and equality that also take string_view, so lookups need no copy.
struct BytesHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using TextMap = std::unordered_map<std::string, int32_t, BytesHash, std::equal_to<>>;
using MemberMap = std::unordered_map<std::string, std::vector<int32_t>, BytesHash, std::equal_to<>>;

// What the registrations remember.
struct WordLookups {
  TextMap by_pair;        // PairKey(category, word) -> record
  TextMap first_by_text;  // word -> record of its first stored registration
  MemberMap categories;   // category -> records in CategoryIndex, in slot order of the walk
  MemberMap events;       // event name -> EventTable records, in walk order
  std::vector<char> length_present;  // by byte length of stored words
  std::vector<char> home_present;    // by WordIndex home slot of stored words
  int longest = 0;                   // byte length of the longest stored word
};
extern WordLookups g_lookups;

std::string PairKey(std::string_view category, std::string_view word);

// The matches a full walk from a key's home slot meets, in walk order,
// answered from the key's remembered member list.
struct MemberView {
  const std::vector<int32_t>* records = nullptr;
  bool stays = false;  // the walk never leaves the home slot
  int count = 0;       // matches the walk counts
  // The k-th match (1 <= k <= count).
  int At(int k) const { return stays ? (*records)[0] : (*records)[k - 1]; }
};
MemberView RememberedMembers(const ProbeIndex& index, const MemberMap& members,
                             const std::string& key);
// CategoryMember / ConditionalMember: the count for k = 0, else the k-th
// record or 0.
int RememberedMember(const ProbeIndex& index, const MemberMap& members,
                     const std::string& key, int k);

// FindWord over a byte range.
int FindWordBytes(std::string_view text);

// Empties the four indexes and everything remembered about them.
void ResetIndexes();
// Empties the word cache and releases its strings.
void ResetWordCache();

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
