// The double-array byte trie: its building from sorted texts, its growth by
// one text and its walk.
#include "nsdic_trie.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>

#include "ghost_assert.h"

namespace {

constexpr int kAlphabet = 256;
constexpr int32_t kSearchSpan = 4096;  // slots a base search looks at before taking the end
constexpr int kFewChildren = 4;        // more children search near the end

constexpr std::size_t kZeroStretch = 2048;  // slots zeroed at a time within the storage taken

// An empty trie with storage for `size` slots, of which only the first
// ones are zeroed: the rest is zeroed as the slots taken come near it.
void StartTrie(TByteTrie& t, std::size_t size) {
  t.slots.clear();
  t.slots.reserve(size);
  const std::size_t zeroed = std::min(size, kZeroStretch);
  t.slots.resize(std::max<std::size_t>(zeroed, 2 * kAlphabet + 2));  // value-initialised: zero
  t.records.clear();
  t.records.reserve(size);
  t.records.resize(t.slots.size());
  t.slots[0].check = -1;
  t.slots[kTrieRoot].check = -1;
  t.first_free = 2;
  t.last_used = kTrieRoot;
}

// Zeroes at least up to `needed` slots: a stretch more within the storage
// taken, else half as many again as there are.
void Grow(TByteTrie& t, std::size_t needed) {
  const std::size_t room = std::min(t.slots.capacity(), t.records.capacity());
  const std::size_t size = needed <= room
                               ? std::min(room, needed + kZeroStretch)
                               : std::max(needed, t.slots.size() + t.slots.size() / 2);
  t.slots.resize(size);
  t.records.resize(size);
}

// Keeps the slots at least 2 kAlphabet longer than `slot`, a slot about
// to be taken: storage only grows, so the slots stay that much longer than
// the last slot taken, and since every base lies below the slots of its
// children, a walk from any node or a search for a base up to one past the
// last slot taken stays inside the storage.
inline void Reserve(TByteTrie& t, int32_t slot) {
  const std::size_t needed = static_cast<std::size_t>(slot) + 2 * kAlphabet + 1;
  if (t.slots.size() < needed) Grow(t, needed);
  GHOST_ASSERT(t.slots.size() >= needed);
}

// Whether `slot`, at most a byte past the last slot taken, is free.
bool IsFree(const TByteTrie& t, int32_t slot) {
  GHOST_ASSERT(slot >= 0 && slot <= t.last_used + kAlphabet);
  GHOST_ASSERT(static_cast<std::size_t>(slot) < t.slots.size());
  return t.slots[slot].check == 0;
}

bool Fits(const TByteTrie& t, int32_t base, const unsigned char* bytes, int count) {
  for (int k = 0; k < count; ++k)
    if (!IsFree(t, base + bytes[k])) return false;
  return true;
}

// A base at which every byte of `bytes` (the lowest first, at least one)
// names a free slot: the first that fits within a span of slots from the
// first free one, else past the last slot taken. A stretch found nearly
// all taken is not searched again. Many children seldom fit between the
// slots already taken: their search starts near the last slot taken.
int32_t FindBase(TByteTrie& t, const unsigned char* bytes, int count) {
  while (!IsFree(t, t.first_free)) ++t.first_free;
  // The search below would take the first free slot for a single child
  // whose byte leaves a base of at least 1 there; most nodes have one child.
  if (count == 1 && t.first_free > bytes[0] && t.first_free <= t.last_used)
    return t.first_free - bytes[0];
  // A base is at least 1, so the first child's slot is past its byte.
  const int32_t lowest = std::max<int32_t>(t.first_free, bytes[0] + 1);
  const int32_t start =
      count <= kFewChildren ? lowest : std::max(lowest, t.last_used - kAlphabet);
  const int32_t end = std::min(t.last_used, start + kSearchSpan);
  // No slot up to the last one taken is past the storage: the walk over
  // the taken ones reads their check alone.
  GHOST_ASSERT(end < start || static_cast<std::size_t>(end) < t.slots.size());
  const TTrieSlot* slots = t.slots.data();
  int32_t free_before = 0;  // free slots in [start, slot)
  for (int32_t slot = start; slot <= end; ++slot) {
    if (slots[slot].check != 0) continue;
    const int32_t base = slot - bytes[0];
    if (base < 1 || !Fits(t, base, bytes + 1, count - 1)) {
      ++free_before;
      continue;
    }
    const int32_t taken = slot - start - free_before;
    if (start == lowest && taken * 20 >= (slot - start) * 19) t.first_free = slot;
    return base;
  }
  return t.last_used + 1;
}

// Takes `slot` for a child of `parent`; Reserve(slot) came first.
void Take(TByteTrie& t, int32_t slot, int32_t parent) {
  GHOST_ASSERT(t.slots[slot].check == 0);
  GHOST_ASSERT(t.slots.size() > static_cast<std::size_t>(slot) + 2 * kAlphabet);
  t.slots[slot].check = parent;
  t.last_used = std::max(t.last_used, slot);
}

// Gives `node` the base `base` and takes the slots of its children `bytes`
// (any order).
void PlaceChildren(TByteTrie& t, int32_t node, int32_t base, const unsigned char* bytes,
                   int count) {
  Reserve(t, base + kAlphabet - 1);
  TTrieSlot* const slots = t.slots.data();
  int32_t last = t.last_used;
  for (int k = 0; k < count; ++k) {
    const int32_t slot = base + bytes[k];
    GHOST_ASSERT(slots[slot].check == 0);
    slots[slot].check = node;
    last = std::max(last, slot);
  }
  t.last_used = last;
  slots[node].base = base;
}

// Gives the children of `node` a new base that also has room for `extra`,
// which stays free.
void MoveChildren(TByteTrie& t, int32_t node, unsigned char extra) {
  const int32_t old_base = t.slots[node].base;
  unsigned char bytes[kAlphabet + 1];
  int count = 0;
  for (int b = 0; b < kAlphabet; ++b) {
    if (b == extra || t.slots[old_base + b].check == node)
      bytes[count++] = static_cast<unsigned char>(b);
  }
  const int32_t base = FindBase(t, bytes, count);
  Reserve(t, base + kAlphabet - 1);
  for (int k = 0; k < count; ++k) {
    if (bytes[k] == extra) continue;
    const int32_t from = old_base + bytes[k], to = base + bytes[k];
    Take(t, to, node);
    t.slots[to].base = t.slots[from].base;
    t.records[to] = t.records[from];
    const int32_t grand_base = t.slots[from].base;
    if (grand_base != 0) {
      for (int b = 0; b < kAlphabet; ++b)
        if (t.slots[grand_base + b].check == from) t.slots[grand_base + b].check = to;
    }
    t.slots[from] = TTrieSlot();
    t.records[from] = 0;
    t.first_free = std::min(t.first_free, from);
  }
  t.slots[node].base = base;
}

// The child of `node` by `byte`, made when missing.
int32_t ChildMade(TByteTrie& t, int32_t node, unsigned char byte) {
  const int32_t base = t.slots[node].base;
  if (base == 0) {
    PlaceChildren(t, node, FindBase(t, &byte, 1), &byte, 1);
    return t.slots[node].base + byte;
  }
  if (t.slots[base + byte].check == node) return base + byte;
  if (t.slots[base + byte].check != 0) MoveChildren(t, node, byte);
  const int32_t child = t.slots[node].base + byte;
  Reserve(t, child);
  Take(t, child, node);
  return child;
}

// Gives `node` a single child by `byte`, its base found by FindBase;
// answers the child.
[[gnu::noinline]] int32_t PlaceOnlyChild(TByteTrie& t, int32_t node, unsigned char byte) {
  PlaceChildren(t, node, FindBase(t, &byte, 1), &byte, 1);
  return t.slots[node].base + byte;
}

// Gives `node` a single child by `byte` in `slot`, a free slot past the
// byte; answers the child.
[[gnu::noinline]] int32_t PlaceChildAt(TByteTrie& t, int32_t node, unsigned char byte,
                                       int32_t slot) {
  PlaceChildren(t, node, slot - byte, &byte, 1);
  t.first_free = slot + 1;
  return slot;
}

// Places the bytes of `text` from `depth` on, which no other text shares,
// as a chain of single children under `node`, and its record at the end.
// Each byte takes the first free slot, as FindBase would for one child, its
// search kept in registers; a slot past the last one taken extends the
// trie by that slot alone.
[[gnu::always_inline]] inline void PlaceTail(TByteTrie& t, int32_t node, const TTrieText& text,
                                             uint32_t depth) {
  const unsigned char* const end = text.bytes + text.size;
  for (const unsigned char* c = text.bytes + depth; c != end; ++c) {
    TTrieSlot* const slots = t.slots.data();
    const TTrieSlot* free = slots + t.first_free;
    while (free->check != 0) ++free;
    const int32_t slot = static_cast<int32_t>(free - slots);
    if (slot <= *c) [[unlikely]] {  // only in a trie of a few slots
      node = PlaceOnlyChild(t, node, *c);
      continue;
    }
    if (slot > t.last_used) [[unlikely]] {
      node = PlaceChildAt(t, node, *c, slot);
      continue;
    }
    slots[node].base = slot - *c;
    slots[slot].check = node;
    node = slot;
    t.first_free = slot + 1;
  }
  t.records[node] = text.record;
}

constexpr int kManyTries = 8;  // free slots tried for many children before the end

// The base of a node the build places with the children `bytes` (the
// lowest first, at least one). The build fills the slots from the lowest
// up and leaves few free behind the first free one: a few children take the
// first base that fits from there; many try the first free slots only, else
// take the slots past the last one taken, whose gaps the single children
// placed next fill.
int32_t BuildBase(TByteTrie& t, const unsigned char* bytes, int count) {
  if (count == 1) {  // FindBase's usual answer for one child, found inline
    const TTrieSlot* const slots = t.slots.data();
    int32_t free = t.first_free;
    while (slots[free].check != 0) ++free;
    t.first_free = free;
    if (free > bytes[0] && free <= t.last_used) return free - bytes[0];
  }
  if (count <= kFewChildren) return FindBase(t, bytes, count);
  const TTrieSlot* slots = t.slots.data();
  while (slots[t.first_free].check != 0) ++t.first_free;
  int tries = 0;
  for (int32_t slot = std::max<int32_t>(t.first_free, bytes[0] + 1);
       slot <= t.last_used && tries < kManyTries; ++slot) {
    if (slots[slot].check != 0) continue;
    ++tries;
    if (Fits(t, slot - bytes[0], bytes + 1, count - 1)) return slot - bytes[0];
  }
  return std::max(1, t.last_used + 1 - bytes[0]);
}

// The texts of a run share their first `depth` bytes, which lead to `node`;
// they are a list linked by TTrieText::next from `head`, in ascending
// record order, of at least two texts.
struct TRun {
  TTrieText* head;
  uint32_t depth;
  int32_t node;
};

// The state of one build: per byte the list a split is gathering, and the
// runs still to place.
struct TBuild {
  TTrieText* head[kAlphabet];
  TTrieText* tail[kAlphabet] = {};  // nullptr: no list
  std::vector<TRun> runs;
  int count_texts = 0;
};

// Splits the texts from `first` up to `stop` (linked by next, or, for
// kArray, one after another) into the lists of their bytes at `depth`, each
// in the order it had, their bytes in `bytes` as they come but the lowest
// first, answered the count; the texts that end there leave the lists, the
// first (lowest record) in `ended` (else nullptr).
template <bool kArray>
int SplitList(TBuild& b, TTrieText* first, const TTrieText* stop, uint32_t depth,
              unsigned char* bytes, const TTrieText*& ended) {
  TTrieText** const head = b.head;
  TTrieText** const tail = b.tail;
  const TTrieText* first_ended = nullptr;
  int count = 0;
  bytes[0] = UINT8_MAX;
  for (TTrieText* text = first; text != stop;) {
    TTrieText* const after = kArray ? text + 1 : text->next;  // read before it is linked anew
    if (text->size == depth) {
      if (first_ended == nullptr) first_ended = text;
    } else {
      const unsigned char byte = text->bytes[depth];
      TTrieText* const last = tail[byte];
      if (last == nullptr) {
        head[byte] = text;
        if (byte < bytes[0]) {  // the lowest stays first
          bytes[count++] = bytes[0];
          bytes[0] = byte;
        } else {
          bytes[count++] = byte;
        }
      } else {
        last->next = text;
      }
      tail[byte] = text;
    }
    text = after;
  }
  ended = first_ended;
  return count;
}

// Places a node whose texts are split: its record, when a text ends there,
// and its `count` children `bytes`; a child that a single text reaches gets
// the rest of that text as a tail at once, the others wait as runs.
void PlaceSplit(TByteTrie& t, TBuild& b, const TRun& run, unsigned char* bytes, int count,
                const TTrieText* ended) {
  if (ended != nullptr) {
    t.records[run.node] = ended->record;
    ++b.count_texts;
  }
  if (count == 0) return;
  const int32_t base = BuildBase(t, bytes, count);
  PlaceChildren(t, run.node, base, bytes, count);
  for (int k = 0; k < count; ++k) {
    const unsigned char byte = bytes[k];
    TTrieText* const head = b.head[byte];
    TTrieText* const last = b.tail[byte];
    b.tail[byte] = nullptr;
    if (head == last) {
      PlaceTail(t, base + byte, *head, run.depth + 1);
      ++b.count_texts;
    } else {
      last->next = nullptr;
      b.runs.push_back({head, run.depth + 1, base + byte});
    }
  }
}

}  // namespace

void ClearTrie(TByteTrie& trie) { trie = TByteTrie(); }

int BuildTrie(TByteTrie& trie, std::span<TTrieText> texts) {
  GHOST_ASSERT(std::is_sorted(texts.begin(), texts.end(),
                              [](const TTrieText& a, const TTrieText& b) {
                                return a.record < b.record;
                              }));
  // Words share most of their first bytes: a text adds two or three nodes
  // as a rule. Storage past that is taken as the slots reach it.
  StartTrie(trie, texts.size() * 5 / 2 + 2 * kAlphabet);
  if (texts.empty()) return 0;
  TBuild build;
  unsigned char split[kAlphabet];
  const TTrieText* ended;
  int count = SplitList<true>(build, texts.data(), texts.data() + texts.size(), 0, split, ended);
  PlaceSplit(trie, build, {nullptr, 0, kTrieRoot}, split, count, ended);
  while (!build.runs.empty()) {
    const TRun run = build.runs.back();
    build.runs.pop_back();
    count = SplitList<false>(build, run.head, nullptr, run.depth, split, ended);
    PlaceSplit(trie, build, run, split, count, ended);
  }
  return build.count_texts;
}

bool InsertIntoTrie(TByteTrie& trie, std::string_view text, int32_t record) {
  if (trie.slots.empty()) StartTrie(trie, 4 * kAlphabet);
  int32_t node = kTrieRoot;
  for (const char c : text) node = ChildMade(trie, node, static_cast<unsigned char>(c));
  if (trie.records[node] != 0) return false;
  trie.records[node] = record;
  return true;
}

int32_t TrieNodeOf(const TByteTrie& trie, std::string_view text) {
  if (trie.slots.empty()) return 0;
  int32_t node = kTrieRoot;
  for (const char c : text) {
    const int32_t next = trie.slots[node].base + static_cast<unsigned char>(c);
    if (trie.slots[next].check != node) return 0;
    node = next;
  }
  return node;
}
