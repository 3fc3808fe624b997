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

#include <cstdint>
#include <utility>
#include <vector>

namespace {

// A record of WordTable by a number a link holds; record 0 (always empty)
// stands in for a number outside the table.
const TDicWord& LinkedRecord(int32_t number) {
  if (number < 0 || number > kWordCapacity) return WordTable[0];
  return WordTable[number];
}

bool LinkLeaves(int link, std::string_view first_text) {
  const TWordLink& record = LinkTable[link];
  return record.Reserved1 == 0 && LinkedRecord(record.FromWord).Text == first_text;
}

// Walks LinkIndex from the home slot of `first_text` and hands `visit` every
// link leaving that text, in walk order (a slot met twice counts twice),
// until `visit` answers false.
template <typename TVisit>
void WalkLinksFrom(std::string_view first_text, TVisit visit) {
  const TProbeIndex& index = LinkIndex;
  int slot = HomeSlot(index, first_text);
  if (index.slots[slot] == 0) return;  // the usual case: no link from this home
  const int step = StepOf(index, first_text);
  for (int moves_left = index.limit;; --moves_left) {
    const int link = index.slots[slot];
    if (link == 0) break;
    if (LinkLeaves(link, first_text) && !visit(link)) break;
    if (moves_left == 0) break;
    slot = NextSlot(index, slot, step);
  }
}

// The ToWord of every link from `first_text` to a word of `category`, in
// walk order; stops after the `stop_at`-th match when stop_at > 0.
std::vector<int32_t> LinkedWords(std::string_view first_text, std::string_view category,
                                 int stop_at) {
  std::vector<int32_t> found;
  WalkLinksFrom(first_text, [&](int link) {
    if (LinkedRecord(LinkTable[link].ToWord).Category != category) return true;
    found.push_back(LinkTable[link].ToWord);
    return static_cast<int>(found.size()) != stop_at;
  });
  return found;
}

// By word record, whether a walk from its text meets a link leaving it
// (0: not known yet, 1: none, 2: some); valid while the words and links stay
// as they were when it was filled.
struct TLinkMemo {
  std::vector<uint8_t> state;
  uint64_t word_changes = UINT64_MAX;
  int words = -1;
  int links = -1;
};
TLinkMemo g_link_memo;

// Whether a link may leave the text of word record `record` (1..WordCount).
bool LinksMayLeave(int record) {
  TLinkMemo& memo = g_link_memo;
  if (memo.word_changes != WordLookups.category_changes || memo.words != WordCount ||
      memo.links != LinkCount) {
    memo.state.assign(static_cast<std::size_t>(WordCount) + 1, 0);
    memo.word_changes = WordLookups.category_changes;
    memo.words = WordCount;
    memo.links = LinkCount;
  }
  uint8_t& state = memo.state[static_cast<std::size_t>(record)];
  if (state == 0) {
    bool some = false;
    WalkLinksFrom(WordTable[record].Text, [&](int) {
      some = true;
      return false;
    });
    state = some ? 2 : 1;
  }
  return state == 2;
}

// Adds EventTable record `event` to the records remembered for its name; a
// name met before is found by one lookup without building a key.
void RememberEvent(const std::string& name, int event) {
  TMemberMap& events = WordLookups.events;
  const auto known = events.find(std::string_view(name));
  if (known != events.end()) {
    known->second.push_back(event);
  } else {
    events.emplace(name, std::vector<int32_t>{event});
  }
}

}  // namespace

int RegisterLink(std::string_view first_text, int first, int second) {
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

int LinkedMember(std::string_view first_text, const std::string& category, int k) {
  if (k < 0) return 0;
  const std::vector<int32_t> found = LinkedWords(first_text, category, k);
  if (k == 0) return static_cast<int>(found.size());
  return static_cast<int>(found.size()) == k ? found.back() : 0;
}

std::string RandomLinkedWord(const std::string& previous, const std::string& category) {
  const std::vector<int32_t> found = LinkedWords(previous, category, 0);
  if (found.empty()) return RandomWordOfCategory(category);
  const int n = static_cast<int>(found.size());
  return std::string(LinkedRecord(found[Random(n)]).Text);
}

int RandomLinkedRecord(int previous_record, std::string_view previous,
                       const TCategoryTag& tag) {
  GHOST_ASSERT(previous_record == 0 || WordTable[previous_record].Text == previous);
  const bool unlinked = previous_record >= 1 && previous_record <= WordCount &&
                        !LinksMayLeave(previous_record);
  if (!unlinked) {
    const std::vector<int32_t> found = LinkedWords(previous, tag.name, 0);
    if (!found.empty()) {
      const int32_t number = found[Random(static_cast<int>(found.size()))];
      return number < 0 || number > kWordCapacity ? 0 : number;
    }
  }
  return RandomRecordOfTag(tag);
}

int RegisterConditional(std::string_view name, std::string_view condition, std::string_view text) {
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
  TJoken record{0, std::string(name), std::string(condition)};
  record.Sentence = AddSentence(text, TSentenceKind::Event, Weight(text));
  ++EventCount;
  GHOST_ASSERT(EventTable[EventCount].Sentence == 0 && EventTable[EventCount].Name.empty());
  EventTable[EventCount] = std::move(record);
  FillSlot(EventIndex, free.slot, EventCount);
  RememberEvent(EventTable[EventCount].Name, EventCount);
  return EventCount;
}

int ConditionalMember(const std::string& name, int k) {
  return RememberedMember(EventIndex, WordLookups.events, name, k);
}

TMemberView ConditionalMembers(const std::string& name) {
  return RememberedMembers(EventIndex, WordLookups.events, name);
}
