// The four hash indexes of the store: the text hash, the probe walk with its
// remembered chain frontiers, the per-key member lists and their reset.
#include "nsdic_index.h"

#include "nsdic.h"

namespace {

void ShapeIndex(ProbeIndex& index, int modulus, int region, int limit) {
  index.modulus = modulus;
  index.region = region;
  index.limit = limit;
  index.slots.assign(modulus + 1, 0);
  index.frontier_move.assign(modulus + 1, 0);
  index.frontier_slot.assign(modulus + 1, 0);
}

ProbeIndex EmptyIndex(int modulus, int region, int limit) {
  ProbeIndex index;
  ShapeIndex(index, modulus, region, limit);
  return index;
}

WordLookups EmptyLookups() {
  WordLookups lookups;
  lookups.length_present.assign(1, 0);
  lookups.home_present.assign(kIndexSlots + 1, 0);
  return lookups;
}

}  // namespace

// Shaped at load time too, so the tables are usable before the first reset.
ProbeIndex g_word_index = EmptyIndex(kIndexSlots, kNarrowRegion, kWordCapacity);
ProbeIndex g_category_index = EmptyIndex(kIndexSlots, kIndexSlots, kCategoryCapacity);
ProbeIndex g_link_index = EmptyIndex(kIndexSlots, kNarrowRegion, kLinkCapacity);
ProbeIndex g_event_index = EmptyIndex(kEventIndexSlots, kEventIndexSlots, kEventCapacity);
WordLookups g_lookups = EmptyLookups();

int HashText(const std::string& text, int multiplier, int modulus) {
  return HashBytes(text, multiplier, modulus);
}

int HashBytes(std::string_view text, int multiplier, int modulus) {
  if (modulus <= 0) return 1;
  int64_t h = 0;
  for (unsigned char b : text) h = (h + static_cast<int64_t>(multiplier) * b) % modulus;
  if (h < 0) h += modulus;
  return static_cast<int>(h) + 1;
}

int HomeOfSum(int64_t sum, int modulus) {
  return static_cast<int>((kHomeMultiplier * (sum % modulus)) % modulus) + 1;
}

int HomeSlot(const ProbeIndex& index, std::string_view key) {
  return HashBytes(key, kHomeMultiplier, index.modulus);
}

int StepOf(const ProbeIndex& index, std::string_view key) {
  return HashBytes(key, kStepMultiplier, index.modulus);
}

int NextSlot(const ProbeIndex& index, int slot, int step) {
  return (slot + step) % index.region + 1;
}

bool StaysOnHome(const ProbeIndex& index, std::string_view key) {
  return (StepOf(index, key) + 1) % index.modulus == 0;
}

FreeSlot FindFreeSlot(ProbeIndex& index, std::string_view key) {
  const int home = HomeSlot(index, key);
  int& moves = index.frontier_move[home];
  int& slot = index.frontier_slot[home];
  if (slot == 0) {
    slot = home;
    moves = 0;
  }
  if (index.slots[slot] != 0 && moves < index.limit) {
    const int step = StepOf(index, key);
    while (index.slots[slot] != 0 && moves < index.limit) {
      slot = NextSlot(index, slot, step);
      ++moves;
    }
  }
  if (index.slots[slot] != 0) return FreeSlot{};
  return FreeSlot{slot, index.limit - moves};
}

std::string PairKey(std::string_view category, std::string_view word) {
  std::string key = std::to_string(category.size());
  key += ':';
  key += category;
  key += word;
  return key;
}

// A full walk of limit + 1 slots over a prime modulus visits each slot once,
// unless its step is 0 mod M: then it visits the home slot limit + 1 times
// and counts a record stored there on every visit.
MemberView RememberedMembers(const ProbeIndex& index, const MemberMap& members,
                             const std::string& key) {
  MemberView view;
  const auto found = members.find(key);
  if (found == members.end() || found->second.empty()) return view;
  view.records = &found->second;
  view.stays = StaysOnHome(index, key);
  view.count = view.stays ? index.limit + 1 : static_cast<int>(found->second.size());
  return view;
}

int RememberedMember(const ProbeIndex& index, const MemberMap& members,
                     const std::string& key, int k) {
  const MemberView view = RememberedMembers(index, members, key);
  if (k == 0) return view.count;
  if (k < 0 || k > view.count) return 0;
  return view.At(k);
}

void ResetIndexes() {
  ShapeIndex(g_word_index, kIndexSlots, kNarrowRegion, kWordCapacity);
  ShapeIndex(g_category_index, kIndexSlots, kIndexSlots, kCategoryCapacity);
  ShapeIndex(g_link_index, kIndexSlots, kNarrowRegion, kLinkCapacity);
  ShapeIndex(g_event_index, kEventIndexSlots, kEventIndexSlots, kEventCapacity);
  g_lookups = EmptyLookups();
}

int IndexSlotValue(StoreIndex index, int slot) {
  const ProbeIndex* table = &g_word_index;
  switch (index) {
    case StoreIndex::Word: table = &g_word_index; break;
    case StoreIndex::Category: table = &g_category_index; break;
    case StoreIndex::Link: table = &g_link_index; break;
    case StoreIndex::Event: table = &g_event_index; break;
  }
  if (slot < 1 || slot >= static_cast<int>(table->slots.size())) return 0;
  return table->slots[slot];
}
