// The four hash indexes of the store: the text hash, the probe walk with its
// remembered chain frontiers, the per-key member lists and their reset.
#include "nsdic_index.h"

namespace {

void ShapeIndex(TProbeIndex& index, int modulus, int region, int limit) {
  index.modulus = modulus;
  index.region = region;
  index.limit = limit;
  index.slots.assign(modulus + 1, 0);
  index.frontier_move.assign(modulus + 1, 0);
  index.frontier_slot.assign(modulus + 1, 0);
  index.filled = 0;
  index.used.clear();
}

TProbeIndex EmptyIndex(int modulus, int region, int limit) {
  TProbeIndex index;
  ShapeIndex(index, modulus, region, limit);
  return index;
}

TWordLookups EmptyLookups() {
  TWordLookups lookups;
  lookups.length_present.assign(1, 0);
  lookups.home_present.assign(kIndexSlots + 1, 0);
  return lookups;
}

// The inverse of a modulo the prime m.
int64_t InverseModulo(int64_t a, int64_t m) {
  int64_t old_r = a % m, r = m, old_s = 1, s = 0;
  while (r != 0) {
    const int64_t q = old_r / r;
    int64_t next = old_r - q * r;
    old_r = r;
    r = next;
    next = old_s - q * s;
    old_s = s;
    s = next;
  }
  return (old_s % m + m) % m;
}

// The step of every key whose home slot is `home`: the byte sum modulo M
// follows from the home slot, and the step from the byte sum.
int StepOfHome(const TProbeIndex& index, int home) {
  const int64_t m = index.modulus;
  const int64_t sum = (home - 1) * InverseModulo(kHomeMultiplier, m) % m;
  return static_cast<int>(kStepMultiplier * sum % m) + 1;
}

}  // namespace

// Shaped at load time too, so the tables are usable before the first reset.
static_assert(kWordCapacity <= INT16_MAX && kCategoryCapacity <= INT16_MAX &&
                  kLinkCapacity <= INT16_MAX && kEventCapacity <= INT16_MAX,
              "a walk's moves, at most the index's limit, fit frontier_move");
TProbeIndex WordIndex = EmptyIndex(kIndexSlots, kNarrowRegion, kWordCapacity);
TProbeIndex CategoryIndex = EmptyIndex(kIndexSlots, kIndexSlots, kCategoryCapacity);
TProbeIndex LinkIndex = EmptyIndex(kIndexSlots, kNarrowRegion, kLinkCapacity);
TProbeIndex EventIndex = EmptyIndex(kEventIndexSlots, kEventIndexSlots, kEventCapacity);
TWordLookups WordLookups = EmptyLookups();

int HashText(const std::string& text, int multiplier, int modulus) {
  return HashBytes(text, multiplier, modulus);
}

int HashBytes(std::string_view text, int multiplier, int modulus) {
  if (modulus <= 0) return 1;
  // (multiplier * sum) mod M equals the sum of the products taken mod M at
  // every byte; a sum of bytes cannot overflow for any text in memory.
  uint64_t sum = 0;
  for (unsigned char b : text) sum += b;
  int64_t h = static_cast<int64_t>(multiplier) * static_cast<int64_t>(sum % modulus) % modulus;
  if (h < 0) h += modulus;
  return static_cast<int>(h) + 1;
}

int HomeOfSum(int64_t sum, int modulus) {
  return static_cast<int>((kHomeMultiplier * (sum % modulus)) % modulus) + 1;
}

int HomeSlot(const TProbeIndex& index, std::string_view key) {
  return HashBytes(key, kHomeMultiplier, index.modulus);
}

int StepOf(const TProbeIndex& index, std::string_view key) {
  return HashBytes(key, kStepMultiplier, index.modulus);
}

bool StaysOnHome(const TProbeIndex& index, std::string_view key) {
  return (StepOf(index, key) + 1) % index.modulus == 0;
}

TFreeSlot FindFreeSlot(TProbeIndex& index, std::string_view key) {
  uint64_t sum = 0;
  for (const unsigned char b : key) sum += b;
  return FindFreeSlotOfSum(index, sum);
}

void StartChain(TProbeIndex& index, int home) {
  index.frontier_slot[home] = home;
  index.frontier_move[home] = 0;
  index.used.push_back(home);
}

bool IsStepOfHome(const TProbeIndex& index, int home, int step) {
  return step == StepOfHome(index, home);
}

// A full walk of limit + 1 slots over a prime modulus visits each slot once,
// unless its step is 0 mod M: then it visits the home slot limit + 1 times
// and counts a record stored there on every visit.
TMemberView RememberedMembers(const TProbeIndex& index, const TMemberMap& members,
                              const std::string& key) {
  TMemberView view;
  const auto found = members.find(key);
  if (found == members.end() || found->second.empty()) return view;
  view.records = &found->second;
  view.stays = StaysOnHome(index, key);
  view.count = view.stays ? index.limit + 1 : static_cast<int>(found->second.size());
  GHOST_ASSERT(view.count <= index.limit + 1);
  return view;
}

int RememberedMember(const TProbeIndex& index, const TMemberMap& members,
                     const std::string& key, int k) {
  const TMemberView view = RememberedMembers(index, members, key);
  if (k == 0) return view.count;
  if (k < 0 || k > view.count) return 0;
  return view.At(k);
}

namespace {

// Empties what was written to the index since the last reset: the slots
// filled and the frontiers of the chains walked.
void EmptyUsedSlots(TProbeIndex& index) {
  for (const int32_t s : index.used) {
    index.slots[s] = 0;
    index.frontier_move[s] = 0;
    index.frontier_slot[s] = 0;
  }
  index.used.clear();
  index.filled = 0;
}

}  // namespace

void ResetIndexes() {
  // Every word marked in home_present first walked its chain in WordIndex.
  for (const int32_t s : WordIndex.used) WordLookups.home_present[s] = 0;
  EmptyUsedSlots(WordIndex);
  EmptyUsedSlots(CategoryIndex);
  EmptyUsedSlots(LinkIndex);
  EmptyUsedSlots(EventIndex);
  std::vector<int32_t>().swap(WordLookups.pair_slots);
  std::vector<uint32_t>().swap(WordLookups.pair_hashes);
  WordLookups.pair_count = 0;
  WordLookups.categories.clear();
  ++WordLookups.category_changes;
  WordLookups.events.clear();
  WordLookups.length_present.assign(1, 0);
  WordLookups.longest = 0;
  ++WordLookups.resets;
}

int IndexSlotValue(TStoreIndex index, int slot) {
  const TProbeIndex* table = &WordIndex;
  switch (index) {
    case TStoreIndex::Word: table = &WordIndex; break;
    case TStoreIndex::Category: table = &CategoryIndex; break;
    case TStoreIndex::Link: table = &LinkIndex; break;
    case TStoreIndex::Event: table = &EventIndex; break;
  }
  if (slot < 1 || slot >= static_cast<int>(table->slots.size())) return 0;
  return table->slots[slot];
}
