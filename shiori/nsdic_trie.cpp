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

// An empty trie of `size` slots, its storage taken at that size.
void StartTrie(TByteTrie& t, std::size_t size) {
  t.slots.clear();
  t.slots.reserve(size);
  t.slots.resize(size);  // value-initialised: all zero
  t.records.reserve(size);
  t.records.assign(size, 0);
  t.slots[0].check = -1;
  t.slots[kTrieRoot].check = -1;
  t.first_free = 2;
  t.last_used = kTrieRoot;
}

void Grow(TByteTrie& t, std::size_t needed) {
  const std::size_t size = std::max(needed, t.slots.size() + t.slots.size() / 2);
  t.slots.resize(size);
  t.records.resize(size, 0);
}

// Keeps the slots at least 2 kAlphabet longer than the largest base:
// storage only grows, so a base that is not the largest already has its
// room. Every slot taken is below the largest base plus kAlphabet, so any
// base up to the last slot taken, plus a byte, is inside the storage too.
inline void Reserve(TByteTrie& t, int32_t base) {
  const std::size_t needed = static_cast<std::size_t>(base) + 2 * kAlphabet + 1;
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

// A base at which every byte of `bytes` (ascending, at least one) names a
// free slot: the first that fits within a span of slots from the first free
// one, else past the last slot taken. A stretch found nearly all taken is
// not searched again. Many children seldom fit between the slots already
// taken: their search starts near the last slot taken.
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

void Take(TByteTrie& t, int32_t slot, int32_t parent) {
  GHOST_ASSERT(t.slots[slot].check == 0);
  t.slots[slot].check = parent;
  t.last_used = std::max(t.last_used, slot);
}

// Gives `node` the base `base` and takes the slots of its children `bytes`.
void PlaceChildren(TByteTrie& t, int32_t node, int32_t base, const unsigned char* bytes,
                   int count) {
  Reserve(t, base);
  for (int k = 0; k < count; ++k) Take(t, base + bytes[k], node);
  t.slots[node].base = base;
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
  Reserve(t, base);
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
  Take(t, child, node);
  return child;
}

// FindBase for a single child, its usual answer found inline: the first
// free slot, when it is below the last slot taken and past the byte.
inline int32_t FindBaseOfOne(TByteTrie& t, unsigned char byte) {
  while (!IsFree(t, t.first_free)) ++t.first_free;
  if (t.first_free > byte && t.first_free <= t.last_used) return t.first_free - byte;
  return FindBase(t, &byte, 1);
}

// Places the bytes of `text` from `depth` on, which no other text shares,
// as a chain of single children under `node`, and its record at the end.
[[gnu::always_inline]] inline int PlaceTail(TByteTrie& t, int32_t node, const TTrieText& text,
                                            std::size_t depth) {
  for (std::size_t d = depth; d < text.size; ++d) {
    const unsigned char byte = text.bytes[d];
    const int32_t base = FindBaseOfOne(t, byte);
    GHOST_ASSERT(base == FindBase(t, &byte, 1));
    PlaceChildren(t, node, base, &byte, 1);
    node = base + byte;
  }
  t.records[node] = text.record;
  return 1;
}

// A run of texts that share their first `depth` bytes, which lead to
// `node`, in ascending record order, standing in `texts[side]`.
struct TRun {
  std::size_t low, high;
  std::size_t depth;
  int32_t node;
  int side;
};

// How a run splits by the byte at its depth: the lowest record of its
// texts that end there (0: none), and the distinct bytes of the others,
// ascending, with where each byte's texts stand once split.
struct TSplit {
  int32_t ended = 0;
  unsigned char bytes[kAlphabet];
  std::size_t starts[kAlphabet + 1];  // bytes[k]'s texts: [starts[k], starts[k + 1])
  int count = 0;
};

// Whether every text of the run goes on past its depth with the same byte,
// so that the run needs no count and no move to step one byte deeper.
bool SharesNextByte(const TTrieText* texts, const TRun& run) {
  const TTrieText& first = texts[run.low];
  if (first.size == run.depth) return false;
  const unsigned char byte = first.bytes[run.depth];
  for (std::size_t i = run.low + 1; i < run.high; ++i) {
    const TTrieText& t = texts[i];
    if (t.size == run.depth || t.bytes[run.depth] != byte) return false;
  }
  return true;
}

// Moves the run down the bytes all its texts share: each byte's node is
// placed as a split into that one byte would place it.
void DescendShared(TByteTrie& t, const TTrieText* texts, TRun& run) {
  while (SharesNextByte(texts, run)) {
    const unsigned char byte = texts[run.low].bytes[run.depth];
    const int32_t base = FindBaseOfOne(t, byte);
    PlaceChildren(t, run.node, base, &byte, 1);
    run.node = base + byte;
    ++run.depth;
  }
}

// Places a run of two texts that part at its depth (they share no byte
// there) as a split would: the record of the one that ends, or both
// following bytes as children; the rest of each as a tail. Answers the
// number of distinct texts placed.
int PlacePair(TByteTrie& t, const TRun& run, const TTrieText& a, const TTrieText& b) {
  const std::size_t depth = run.depth;
  if (a.size == depth || b.size == depth) {
    const TTrieText& ends = a.size == depth ? a : b;  // a, the lower record, when both end
    const TTrieText& other = a.size == depth ? b : a;
    t.records[run.node] = ends.record;
    return 1 + (other.size == depth ? 0 : PlaceTail(t, run.node, other, depth));
  }
  const bool a_first = a.bytes[depth] < b.bytes[depth];
  const TTrieText& low = a_first ? a : b;
  const TTrieText& high = a_first ? b : a;
  const unsigned char bytes[2] = {low.bytes[depth], high.bytes[depth]};
  GHOST_ASSERT(bytes[0] < bytes[1]);
  const int32_t base = FindBase(t, bytes, 2);
  PlaceChildren(t, run.node, base, bytes, 2);
  return PlaceTail(t, base + bytes[0], low, depth + 1) +
         PlaceTail(t, base + bytes[1], high, depth + 1);
}

// Counts the run's texts by their byte at its depth into `tally` (all
// zeros on entry) and fills `split`; answers whether the texts must move
// (more than one byte, or some texts end), and if not leaves `tally` zero.
bool CountRun(const TTrieText* texts, const TRun& run, std::size_t* tally, TSplit& split) {
  uint64_t seen[kAlphabet / 64] = {};
  split.ended = 0;
  std::size_t ends = 0;
  // A run of many texts is counted alone and its bytes seen in the tally
  // afterwards, which costs less than marking them text by text.
  const bool many = run.high - run.low > kAlphabet;
  for (std::size_t i = run.low; i < run.high; ++i) {
    const TTrieText& t = texts[i];
    if (t.size == run.depth) {
      if (ends++ == 0) split.ended = t.record;  // the first is the lowest
      continue;
    }
    const auto b = t.bytes[run.depth];
    ++tally[b];
    if (!many) seen[b >> 6] |= uint64_t{1} << (b & 63);
  }
  if (many) {
    for (int b = 0; b < kAlphabet; ++b)
      seen[b >> 6] |= uint64_t{tally[b] != 0} << (b & 63);
  }
  split.count = 0;
  std::size_t at = run.low;
  for (int w = 0; w < kAlphabet / 64; ++w) {
    for (uint64_t bits = seen[w]; bits != 0; bits &= bits - 1) {
      const auto b = static_cast<unsigned char>(64 * w + std::countr_zero(bits));
      split.bytes[split.count] = b;
      split.starts[split.count++] = at;
      at += tally[b];
      tally[b] = split.starts[split.count - 1];  // now where the byte's next text goes
    }
  }
  split.starts[split.count] = at;
  if (split.count > 1 || ends != 0) return true;
  if (split.count == 1) tally[split.bytes[0]] = 0;
  return false;
}

// Moves the run's texts that go on, each byte's together in byte order and
// each group in the order it had, from `from` to `to`; leaves `tally` zero.
void SplitRun(const TTrieText* from, TTrieText* to, const TRun& run, std::size_t* tally,
              const TSplit& split) {
  if (split.ended == 0) {  // every text goes on
    for (std::size_t i = run.low; i < run.high; ++i)
      to[tally[from[i].bytes[run.depth]]++] = from[i];
  } else {
    for (std::size_t i = run.low; i < run.high; ++i) {
      const TTrieText& t = from[i];
      if (t.size != run.depth) to[tally[t.bytes[run.depth]]++] = t;
    }
  }
  for (int k = 0; k < split.count; ++k) tally[split.bytes[k]] = 0;
}

}  // namespace

void ClearTrie(TByteTrie& trie) { trie = TByteTrie(); }

int BuildTrie(TByteTrie& trie, std::vector<TTrieText>& texts) {
  GHOST_ASSERT(std::is_sorted(texts.begin(), texts.end(),
                              [](const TTrieText& a, const TTrieText& b) {
                                return a.record < b.record;
                              }));
  // Every node but the root is a byte of some text; words share most of
  // their first bytes, so half their bytes seldom needs to grow.
  std::size_t bytes = 0;
  for (const TTrieText& t : texts) bytes += t.size;
  StartTrie(trie, bytes / 2 + 2 * kAlphabet);
  int count_texts = 0;
  // The other side of each split, left unset: a run is written there in
  // full before it is read.
  const std::unique_ptr<TTrieText[]> spare(new TTrieText[texts.size()]);
  TTrieText* sides[2] = {texts.data(), spare.get()};
  std::vector<std::size_t> tally(kAlphabet, 0);
  std::vector<TRun> runs;
  if (!texts.empty()) runs.push_back({0, texts.size(), 0, kTrieRoot, 0});
  TSplit split;
  while (!runs.empty()) {
    TRun run = runs.back();
    runs.pop_back();
    if (run.high - run.low == 1) {
      count_texts += PlaceTail(trie, run.node, sides[run.side][run.low], run.depth);
      continue;
    }
    DescendShared(trie, sides[run.side], run);
    if (run.high - run.low == 2) {
      count_texts += PlacePair(trie, run, sides[run.side][run.low], sides[run.side][run.low + 1]);
      continue;
    }
    if (CountRun(sides[run.side], run, tally.data(), split)) {
      SplitRun(sides[run.side], sides[1 - run.side], run, tally.data(), split);
      run.side = 1 - run.side;
    }
    if (split.ended != 0) {
      trie.records[run.node] = split.ended;
      ++count_texts;
    }
    if (split.count == 0) continue;
    const int32_t base = split.count == 1 ? FindBaseOfOne(trie, split.bytes[0])
                                          : FindBase(trie, split.bytes, split.count);
    PlaceChildren(trie, run.node, base, split.bytes, split.count);
    for (int k = 0; k < split.count; ++k) {
      const TRun child{split.starts[k], split.starts[k + 1], run.depth + 1,
                       base + split.bytes[k], run.side};
      if (child.high - child.low == 1)  // a text of its own: placed at once
        count_texts += PlaceTail(trie, child.node, sides[child.side][child.low], child.depth);
      else
        runs.push_back(child);
    }
  }
  return count_texts;
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
