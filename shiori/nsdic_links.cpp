// Word-to-word links (LinkTable and LinkIndex) and event talks (EventTable,
// EventIndex and their SentenceTable records): registration, the counting
// lookups and the linked-word chooser.
#include "nsdic_links.h"

#include "ghost_assert.h"
#include "ghost_hook.h"
#include "nsdic.h"
#include "nsdic_index.h"
#include "nsdic_words.h"
#include "random.h"

namespace {

// A record of WordTable by a number a link holds; record 0 (always empty)
// stands in for a number outside the table.
const TDicWord& LinkedRecord(int32_t number) {
  if (number < 0 || number > kWordCapacity) return WordTable[0];
  return WordTable[number];
}

bool LinkMatches(int link, const std::string& first_text, const std::string& category) {
  const TWordLink& record = LinkTable[link];
  return record.Reserved1 == 0 && LinkedRecord(record.FromWord).Text == first_text &&
         LinkedRecord(record.ToWord).Category == category;
}

// Walks LinkIndex from the home slot of `first_text` and collects the
// ToWord of every matching link in walk order (a slot met twice counts
// twice); stops after the `stop_at`-th match when stop_at > 0.
std::vector<int32_t> LinkedWords(const std::string& first_text, const std::string& category,
                                 int stop_at) {
  std::vector<int32_t> found;
  const TProbeIndex& index = LinkIndex;
  int slot = HomeSlot(index, first_text);
  if (index.slots[slot] == 0) return found;  // the usual case: no link from this home
  const int step = StepOf(index, first_text);
  for (int moves_left = index.limit;; --moves_left) {
    const int link = index.slots[slot];
    if (link == 0) break;
    if (LinkMatches(link, first_text, category)) {
      found.push_back(LinkTable[link].ToWord);
      if (static_cast<int>(found.size()) == stop_at) break;
    }
    if (moves_left == 0) break;
    slot = NextSlot(index, slot, step);
  }
  return found;
}

}  // namespace

int RegisterLink(const std::string& first_text, int first, int second) {
  GHOST_ASSERT(LinkCount >= 0 && LinkCount <= kLinkCapacity);
  if (LinkCount >= kLinkCapacity) {
    HookReport({THookCode::TableFull, THookLevel::Error, 0, 0, {"LinkTable", first_text},
                kLinkCapacity});
    return 0;
  }
  ++LinkCount;
  GHOST_ASSERT(LinkTable[LinkCount].FromWord == 0 && LinkTable[LinkCount].ToWord == 0);
  LinkTable[LinkCount] = TWordLink{first, second, 0, 0};
  const TFreeSlot free = FindFreeSlot(LinkIndex, first_text);
  if (free.slot != 0) {
    FillSlot(LinkIndex, free.slot, LinkCount);
  } else {
    HookReport({THookCode::ChainFull, THookLevel::Error, 0, 0, {"LinkIndex", first_text},
                LinkIndex.limit});
  }
  return LinkCount;
}

int LinkedMember(const std::string& first_text, const std::string& category, int k) {
  if (k < 0) return 0;
  const std::vector<int32_t> found = LinkedWords(first_text, category, k);
  if (k == 0) return static_cast<int>(found.size());
  return static_cast<int>(found.size()) == k ? found.back() : 0;
}

std::string RandomLinkedWord(const std::string& previous, const std::string& category) {
  const std::vector<int32_t> found = LinkedWords(previous, category, 0);
  if (found.empty()) return RandomWordOfCategory(category);
  const int n = static_cast<int>(found.size());
  return LinkedRecord(found[Random(n)]).Text;
}

std::string RandomLinkedWord(const std::string& previous, const TCategoryTag& tag) {
  const std::vector<int32_t> found = LinkedWords(previous, tag.name, 0);
  if (found.empty()) return RandomWordOfTag(tag);
  const int n = static_cast<int>(found.size());
  return LinkedRecord(found[Random(n)]).Text;
}

int RegisterConditional(const std::string& name, const std::string& condition,
                        const std::string& text) {
  GHOST_ASSERT(EventCount >= 0 && EventCount <= kEventCapacity);
  if (EventCount >= kEventCapacity || SentenceCount >= kSentenceCapacity) {
    const bool events_full = EventCount >= kEventCapacity;
    HookReport({THookCode::TableFull, THookLevel::Error, 0, 0,
                {events_full ? "EventTable" : "SentenceTable", name},
                events_full ? kEventCapacity : kSentenceCapacity});
    return 0;
  }
  const TFreeSlot free = FindFreeSlot(EventIndex, name);
  if (free.slot == 0) {
    HookReport({THookCode::ChainFull, THookLevel::Error, 0, 0, {"EventIndex", name},
                EventIndex.limit});
    return 0;
  }
  const int sentence = AddSentence(text, TSentenceKind::Event, Weight(text));
  ++EventCount;
  GHOST_ASSERT(EventTable[EventCount].Sentence == 0 && EventTable[EventCount].Name.empty());
  EventTable[EventCount] = TJoken{sentence, name, condition};
  FillSlot(EventIndex, free.slot, EventCount);
  WordLookups.events[name].push_back(EventCount);
  return EventCount;
}

int ConditionalMember(const std::string& name, int k) {
  return RememberedMember(EventIndex, WordLookups.events, name, k);
}

TMemberView ConditionalMembers(const std::string& name) {
  return RememberedMembers(EventIndex, WordLookups.events, name);
}
