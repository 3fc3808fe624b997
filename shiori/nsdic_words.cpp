// Words and categories: registration into WordTable, WordIndex,
// CategoryIndex and CategoryList, the word and category lookups, and the two
// random word choosers with their cool-down rules, and the index of category
// tags that finds the category named at a "%" without walking CategoryList.
#include "nsdic_words.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <string_view>

#include "ghost_assert.h"
#include "ghost_hook.h"
#include "nsdic.h"
#include "nsdic_index.h"
#include "nsdic_tagtable.h"
#include "nsdic_wordscan.h"
#include "random.h"

namespace {

// Counts every change of the category tags (never reset: a cached answer of
// CategoryTagAt stays valid exactly while it is unchanged).
uint64_t g_category_tag_generation = 0;

// What registration reads of a text's bytes, in one pass: their sum, from
// which the probe hashes follow, and a hash for the pair table.
struct TTextKey {
  uint64_t sum = 0;
  uint64_t hash = 0;
};

uint64_t Load64(const unsigned char* p) {
  uint64_t x;
  std::memcpy(&x, p, 8);
  return x;
}

uint64_t Load32(const unsigned char* p) {
  uint32_t x;
  std::memcpy(&x, p, 4);
  return x;
}

// The `n` < 8 bytes at `p` as one number, the bytes past them zero; four
// or more by two overlapping loads.
uint64_t LoadShort(const unsigned char* p, std::size_t n) {
  GHOST_ASSERT(n < 8);
  if (n >= 4) return Load32(p) | (Load32(p + n - 4) >> (8 * (8 - n))) << 32;
  uint64_t x = 0;
  for (std::size_t i = 0; i < n; ++i) x |= uint64_t{p[i]} << (8 * i);
  return x;
}

// Whether the texts are equal, a short one compared by whole words (the
// category names a run of registrations repeats are short).
[[gnu::always_inline]] inline bool SameText(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(a.data());
  const auto* q = reinterpret_cast<const unsigned char*>(b.data());
  if (n >= 4 && n <= 8)
    return Load32(p) == Load32(q) && Load32(p + n - 4) == Load32(q + n - 4);
  if (n > 8 && n <= 16)
    return Load64(p) == Load64(q) && Load64(p + n - 8) == Load64(q + n - 8);
  return a == b;
}

// The sum of the eight bytes of `x`: pairs of bytes added into four 16-bit
// lanes, and the lanes added by one multiplication into the top lane.
uint64_t ByteSum(uint64_t x) {
  constexpr uint64_t kEvenBytes = 0x00ff00ff00ff00ffull;
  const uint64_t lanes = (x & kEvenBytes) + ((x >> 8) & kEvenBytes);
  return (lanes * 0x0001000100010001ull) >> 48;
}

uint64_t Mix(uint64_t hash, uint64_t chunk) {
  hash = (hash ^ chunk) * 0x9e3779b97f4a7c15ull;
  return hash ^ (hash >> 32);
}

// The bytes' sum and a hash continued from `seed`, eight bytes at a time.
// Inline: registration keys every word.
[[gnu::always_inline]] inline TTextKey KeyOf(std::string_view text, uint64_t seed) {
  TTextKey key{0, seed};
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t n = text.size();
  for (; n >= 8; n -= 8, p += 8) {
    const uint64_t chunk = Load64(p);
    key.sum += ByteSum(chunk);
    key.hash = Mix(key.hash, chunk);
  }
  if (n != 0) {
    const uint64_t chunk = LoadShort(p, n);
    key.sum += ByteSum(chunk);
    key.hash = Mix(key.hash, chunk);
  }
  return key;
}

// The seed of a category name's hash, which seeds its words' pair hashes.
uint64_t CategorySeed(std::size_t length) { return 0xcbf29ce484222325ull ^ length; }

// The pair hash of a word whose category gave `seed`: the bits that choose
// its slot in the pair table, which every size of the table takes from.
uint32_t PairHash(const TTextKey& word) {
  return static_cast<uint32_t>((word.hash * 0x9e3779b97f4a7c15ull) >> 32);
}

std::size_t PairSlot(uint32_t hash) { return hash & (WordLookups.pair_slots.size() - 1); }

// The slot of the record registered for the pair, or the empty slot where it
// would go.
std::size_t FindPairSlot(std::string_view category, std::string_view word, uint32_t hash) {
  const std::vector<int32_t>& slots = WordLookups.pair_slots;
  for (std::size_t s = PairSlot(hash);; s = (s + 1) & (slots.size() - 1)) {
    const int32_t r = slots[s];
    if (r == 0) return s;
    if (WordLookups.pair_hashes[r] == hash && WordTable[r].Text == word &&
        WordTable[r].Category == category)
      return s;
  }
}

// The pair table never needs more slots than this: it holds at most one
// pair a WordTable record, so it stays at most half full.
constexpr std::size_t kMostPairSlots = std::bit_ceil(2 * static_cast<std::size_t>(kWordCapacity));

// Makes the pair table eight times as large (up to kMostPairSlots) when one
// more pair would fill more than half of it, filling it again from the
// hashes kept by record.
void MakeRoomForPair() {
  GHOST_ASSERT(WordLookups.pair_count <= kWordCapacity);
  const std::size_t size = WordLookups.pair_slots.size();
  if (2 * static_cast<std::size_t>(WordLookups.pair_count + 1) <= size || size == kMostPairSlots)
    return;
  std::vector<int32_t> old(std::min(kMostPairSlots, std::max<std::size_t>(1024, 8 * size)), 0);
  old.swap(WordLookups.pair_slots);
  std::vector<int32_t>& slots = WordLookups.pair_slots;
  for (const int32_t r : old) {
    if (r == 0) continue;
    std::size_t s = PairSlot(WordLookups.pair_hashes[r]);
    while (slots[s] != 0) s = (s + 1) & (slots.size() - 1);  // pairs are distinct
    slots[s] = r;
  }
}

// Makes room for the pair hash of `record`, before the record is made: a
// pair in the table always has its hash.
void MakeRoomForPairHash(int record) {
  std::vector<uint32_t>& hashes = WordLookups.pair_hashes;
  if (hashes.size() <= static_cast<std::size_t>(record))
    hashes.resize(std::min<std::size_t>(kWordCapacity + 1,
                                        std::max<std::size_t>(record + 1, 2 * hashes.size())));
}

// What registration keeps of a category it registered words under, so that
// a run of words of one category (a word list's line, or the few categories
// of a tag list taking turns), and a category met again later, read the name
// once and find its members without a lookup by name. A key is valid while
// WordLookups.resets is unchanged (the store is reset with the indexes).
struct TCategoryKey {
  std::string name;
  // The one stored copy of the name that the category's records view; empty
  // until the first of them is made.
  std::string_view stored;
  TChain chain;  // in CategoryIndex
  uint64_t seed = 0;
  std::vector<int32_t>* members = nullptr;  // in WordLookups.categories
  uint64_t resets = UINT64_MAX;             // WordLookups.resets when found
};

// The keys by the hash of their name (the seed), two ways a set: a category
// takes the way of its set not found last, so two categories sharing a set
// both stay. A key that loses its way is made again when its category
// returns. The sets double as the categories grow, a power of two of them.
struct TCategoryKeySet {
  std::array<TCategoryKey, 2> ways;
  int last = 0;  // the way found last
};
constexpr std::size_t kFirstKeySets = 8;
std::vector<TCategoryKeySet> g_category_keys(kFirstKeySets);
int g_key_shift = 64 - std::countr_zero(kFirstKeySets);  // 64 - log2 of the number of sets
TCategoryKey* g_last_key = nullptr;  // looked at first; null after the sets grow

TCategoryKeySet& SetOfSeed(uint64_t seed) {
  return g_category_keys[(seed * 0x9e3779b97f4a7c15ull) >> g_key_shift];
}

bool IsValidKey(const TCategoryKey& key) { return key.resets == WordLookups.resets; }

inline bool IsKeyOf(const TCategoryKey& key, std::string_view category) {
  return IsValidKey(key) && SameText(key.name, category);
}

// Makes `key` the key of `category`, whose name gave `name_key`.
void MakeCategoryKey(TCategoryKey& key, std::string_view category, const TTextKey& name_key) {
  key.resets = UINT64_MAX;  // not valid until complete: the lines below may throw
  key.name = category;
  key.members = &WordLookups.categories[key.name];
  // Every member of the category views the copy its first record made.
  key.stored = key.members->empty() ? std::string_view() : WordTable[key.members->front()].Category;
  GHOST_ASSERT(key.stored.empty() || key.stored == category);
  key.chain = ChainOfSum(CategoryIndex, name_key.sum);
  key.seed = name_key.hash;
  key.resets = WordLookups.resets;
}

// Before a key is made: doubles the sets while the categories known
// outnumber twice them, the valid keys moved to their new sets (a key a full
// set has no room for is dropped).
void MakeRoomForCategoryKey() {
  const std::size_t known = WordLookups.categories.size() + 1;
  std::size_t sets = g_category_keys.size();
  while (2 * sets < known) sets *= 2;
  if (sets == g_category_keys.size()) return;
  std::vector<TCategoryKeySet> old(sets);
  old.swap(g_category_keys);
  g_key_shift = 64 - std::countr_zero(sets);
  g_last_key = nullptr;
  for (TCategoryKeySet& from : old) {
    for (TCategoryKey& key : from.ways) {
      if (!IsValidKey(key)) continue;
      TCategoryKeySet& to = SetOfSeed(key.seed);
      TCategoryKey& way = IsValidKey(to.ways[0]) ? to.ways[1] : to.ways[0];
      if (!IsValidKey(way)) way = std::move(key);
    }
  }
}

// The key made for `category`, which no way of its set holds: in a free way
// of the set, else in the way not found last. Out of line: most
// registrations find their key.
[[gnu::noinline]] TCategoryKey& NewCategoryKey(std::string_view category,
                                               const TTextKey& name_key) {
  MakeRoomForCategoryKey();
  TCategoryKeySet& set = SetOfSeed(name_key.hash);
  int way = 1 - set.last;
  if (!IsValidKey(set.ways[0])) way = 0;
  else if (!IsValidKey(set.ways[1])) way = 1;
  MakeCategoryKey(set.ways[way], category, name_key);
  set.last = way;
  g_last_key = &set.ways[way];
  return set.ways[way];
}

TCategoryKey& KeyOfCategory(std::string_view category) {
  if (g_last_key != nullptr && IsKeyOf(*g_last_key, category)) return *g_last_key;
  // One pass over the name gives both: the byte sum does not depend on the seed.
  const TTextKey name_key = KeyOf(category, CategorySeed(category.size()));
  TCategoryKeySet& set = SetOfSeed(name_key.hash);
  int way = set.last;
  if (!IsKeyOf(set.ways[way], category)) {
    way = 1 - way;
    if (!IsKeyOf(set.ways[way], category)) return NewCategoryKey(category, name_key);
  }
  set.last = way;
  g_last_key = &set.ways[way];
  return set.ways[way];
}

// The stored copy of the key's name, made with the category's first record.
std::string_view StoredName(TCategoryKey& key) {
  if (key.stored.empty() && !key.name.empty()) key.stored = KeepWordText(key.name);
  return key.stored;
}

// What the search of words in a text reads of a new word: its length and
// `home`, its home slot in WordIndex, which WordsInText finds from the byte
// sum alone. (The word scan enters the record's text at its next lookup.)
void RememberWord(std::string_view word, int home) {
  if (WordLookups.length_present.size() <= word.size())
    WordLookups.length_present.resize(word.size() + 1, 0);
  WordLookups.length_present[word.size()] = 1;
  GHOST_ASSERT(home == HomeSlot(WordIndex, word));
  WordLookups.home_present[home] = 1;
  WordLookups.longest = std::max(WordLookups.longest, static_cast<int>(word.size()));
}

// The room a category's member list takes with its first word.
constexpr std::size_t kFirstMembers = 16;

// Files a new record under its category; the category's first indexed word
// puts the category into CategoryList. A full chain leaves it unindexed.
void EnterInCategoryIndex(const TCategoryKey& category, int record) {
  const TFreeSlot free = FindFreeSlotOfChain(CategoryIndex, category.chain);
  if (free.slot == 0) {
    HookReport({THookCode::ChainFull, THookLevel::Error, 0, 0, {"CategoryIndex", category.name},
                CategoryIndex.limit});
    return;
  }
  FillSlot(CategoryIndex, free.slot, record);
  GHOST_ASSERT(category.members == &WordLookups.categories[category.name]);
  if (category.members->empty()) {
    AddCategory(category.name);
    // Most categories get more words: their first growths are skipped.
    category.members->reserve(kFirstMembers);
  }
  category.members->push_back(record);
  ++WordLookups.category_changes;
}

// Category tags by their text, each giving the name a walk of CategoryList
// would meet first: names sharing a tag differ only in their first byte, so
// they are equally long and the latest added stands first. `lengths` holds
// every tag length present, longest first; `last_bytes` by length the set of
// the last bytes of the tags that long, which spares most lookups that miss;
// `table` finds a record by its tag's bytes (the map's nodes stay put).
struct TCategoryTags {
  std::unordered_map<std::string, TCategoryTag, TBytesHash, std::equal_to<>> by_tag;
  TTagTable table;
  std::vector<std::size_t> lengths;
  std::vector<std::array<uint64_t, 4>> last_bytes;
};
TCategoryTags g_category_tags;

void RememberCategoryTag(const std::string& category) {
  std::string tag = category;
  tag[0] = '%';
  std::vector<std::array<uint64_t, 4>>& last_bytes = g_category_tags.last_bytes;
  if (last_bytes.size() <= tag.size()) last_bytes.resize(tag.size() + 1);
  const auto last = static_cast<unsigned char>(tag.back());
  last_bytes[tag.size()][last >> 6] |= uint64_t{1} << (last & 63);
  // Room first: a tag in the map but not in the table would never be found.
  MakeRoomForTag(g_category_tags.table);
  const auto [at_tag, added] = g_category_tags.by_tag.try_emplace(tag);
  TCategoryTag& record = at_tag->second;
  // The map's own key, which stays with its node, is what the table reads.
  if (added) AddTag(g_category_tags.table, at_tag->first, &record);
  record = TCategoryTag{};
  record.name = category;
  record.tag = std::move(tag);
  std::vector<std::size_t>& lengths = g_category_tags.lengths;
  const auto at = std::lower_bound(lengths.begin(), lengths.end(), category.size(),
                                   std::greater<>());
  if (at == lengths.end() || *at != category.size()) lengths.insert(at, category.size());
}

// Whether CategoryList holds `category`. A name whose tag is unknown is not
// listed (every listed name's tag is remembered, and both are emptied by the
// same reset), so only a name sharing a known tag is looked for in the list.
bool IsListedCategory(const std::string& category) {
  std::string tag = category;
  tag[0] = '%';
  const auto found = g_category_tags.by_tag.find(tag);
  if (found == g_category_tags.by_tag.end()) return false;
  return found->second.name == category || CategoryList.Contains(category);
}

// The rest the prefix chooser gives the word it takes: its whole length in
// bytes plus 10 (twice as long as Weight for long words).
int32_t PrefixWeight(std::string_view text) {
  return static_cast<int32_t>(text.size()) + 10;
}

bool StartsWith(std::string_view text, const std::string& prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

int RegisterWord(std::string_view category, std::string_view word) {
  TCategoryKey& key = KeyOfCategory(category);
  const TTextKey word_key = KeyOf(word, key.seed);
  MakeRoomForPair();
  const uint32_t pair_hash = PairHash(word_key);
  int32_t& pair = WordLookups.pair_slots[FindPairSlot(category, word, pair_hash)];
  if (pair != 0) return pair;
  GHOST_ASSERT(WordCount >= 0 && WordCount <= kWordCapacity);
  if (WordCount >= kWordCapacity) {
    HookReport({THookCode::TableFull, THookLevel::Error, 0, 0, {"WordTable", word},
                kWordCapacity});
    return 0;
  }
  MakeRoomForPairHash(WordCount + 1);
  const TFreeSlot free = FindFreeSlotOfSum(WordIndex, word_key.sum);
  // A walk that reaches its last allowed slot has used up its counter, even
  // when that slot is empty: nothing is stored then.
  if (free.slot == 0 || free.moves_left == 0) {
    HookReport({THookCode::ChainFull, THookLevel::Error, 0, 0, {"WordIndex", word},
                WordIndex.limit});
    return 0;
  }
  // The texts are stored before the record counts: a copy that fails leaves
  // the record past the count empty.
  const std::string_view stored_category = StoredName(key);
  const std::string_view stored_word = KeepWordText(word);
  TDicWord& entry = WordTable[WordCount + 1];
  GHOST_ASSERT(entry.Text.empty() && entry.Category.empty() && entry.CoolDown == 0 &&
               entry.Sentence == 0);
  entry.Text = stored_word;
  entry.Category = stored_category;
  const int record = ++WordCount;
  FillSlot(WordIndex, free.slot, record);
  pair = record;
  ++WordLookups.pair_count;
  WordLookups.pair_hashes[record] = pair_hash;
  RememberWord(word, free.home);
  EnterInCategoryIndex(key, record);
  return record;
}

void AddCategory(const std::string& category) {
  if (category.empty()) return;
  if (CategoryCount >= kCategoryCapacity) {
    HookReport({THookCode::TableFull, THookLevel::Error, 0, 0, {"CategoryList", category},
                kCategoryCapacity});
    return;
  }
  if (IsListedCategory(category)) return;
  CategoryList.Append(category);
  ++CategoryCount;
  RememberCategoryTag(category);
  ++g_category_tag_generation;
}

const TCategoryTag* CategoryTagRecordAt(const std::string& text, int position) {
  if (position < 1 || static_cast<std::size_t>(position) > text.size()) return nullptr;
  const std::size_t start = static_cast<std::size_t>(position) - 1;
  if (text[start] != '%') return nullptr;
  const std::string_view rest = std::string_view(text).substr(start);
  for (const std::size_t length : g_category_tags.lengths) {
    if (length > rest.size()) continue;
    const auto last = static_cast<unsigned char>(rest[length - 1]);
    if (((g_category_tags.last_bytes[length][last >> 6] >> (last & 63)) & 1) == 0) continue;
    const TCategoryTag* found = FindTag(g_category_tags.table, rest.substr(0, length));
    if (found != nullptr) return found;
  }
  return nullptr;
}

std::string CategoryTagAt(const std::string& text, int position) {
  const TCategoryTag* tag = CategoryTagRecordAt(text, position);
  return tag == nullptr ? std::string() : tag->name;
}

void ResetCategoryTags() {
  g_category_tags = TCategoryTags{};
  ++g_category_tag_generation;
}

uint64_t CategoryTagGeneration() { return g_category_tag_generation; }

int FindWordBytes(std::string_view text) {
  if (text.empty()) return 0;
  return ScanWordRecord(text);
}

int FindWord(const std::string& text) { return FindWordBytes(text); }

std::string CategoryOfWord(const std::string& text) {
  const int record = FindWord(text);
  return record == 0 ? std::string() : std::string(WordTable[record].Category);
}

int CategoryMember(const std::string& category, int k) {
  return RememberedMember(CategoryIndex, WordLookups.categories, category, k);
}

namespace {

// The record drawn: the k-th candidate whose CoolDown is 0 or below, each
// passed-over draw lowering its word's CoolDown, the last draw taken whatever
// its CoolDown; 0 when there is no candidate.
int RandomRecordOfMembers(const TMemberView& candidates) {
  const int count = candidates.count;
  if (count == 0) return 0;
  const int32_t* records = candidates.records->data();
  // A chain that never leaves its home slot holds one record, counted `count` times.
  const bool stays = candidates.stays;
  int record = 0;
  for (int draw = 1;; ++draw) {
    const int k = Random(count);
    record = stays ? records[0] : records[k];
    GHOST_ASSERT(record == candidates.At(k + 1));
    TDicWord& word = WordTable[record];
    if (word.CoolDown <= 0 || draw == kCategoryDraws) break;
    --word.CoolDown;
  }
  TDicWord& word = WordTable[record];
  word.CoolDown += Weight(word.Text);
  return record;
}

}  // namespace

std::string RandomWordOfCategory(const std::string& category) {
  return std::string(WordTable[RandomRecordOfMembers(RememberedMembers(
                                  CategoryIndex, WordLookups.categories, category))]
                         .Text);
}

int RandomRecordOfTag(const TCategoryTag& tag) {
  if (tag.generation != WordLookups.category_changes) {
    tag.members = RememberedMembers(CategoryIndex, WordLookups.categories, tag.name);
    tag.generation = WordLookups.category_changes;
  }
  GHOST_ASSERT(tag.members.count ==
               RememberedMembers(CategoryIndex, WordLookups.categories, tag.name).count);
  return RandomRecordOfMembers(tag.members);
}

std::string RandomWordByPrefix(const std::string& prefix) {
  if (WordCount == 0) return std::string();
  for (int draw = 1; draw <= kPrefixDraws; ++draw) {
    TDicWord& word = WordTable[Random(WordCount) + 1];
    if (word.CoolDown <= 0 && StartsWith(word.Category, prefix)) {
      word.CoolDown += PrefixWeight(word.Text);
      return std::string(word.Text);
    }
    if (draw < kPrefixDraws) --word.CoolDown;
  }
  return std::string();
}
