// Words and categories: registration into WordTable, WordIndex,
// CategoryIndex and CategoryList, the word and category lookups, and the two
// random word choosers with their cool-down rules, and the index of category
// tags that finds the category named at a "%" without walking CategoryList.
#include "nsdic_words.h"

#include <algorithm>
#include <array>
#include <functional>
#include <string_view>

#include "ghost_assert.h"
#include "ghost_hook.h"
#include "nsdic.h"
#include "nsdic_index.h"
#include "nsdic_wordscan.h"
#include "random.h"

namespace {

// Counts every change of the category tags (never reset: a cached answer of
// CategoryTagAt stays valid exactly while it is unchanged).
uint64_t g_category_tag_generation = 0;

int64_t ByteSum(std::string_view text) {
  int64_t sum = 0;
  for (const unsigned char b : text) sum += b;
  return sum;
}

uint64_t PairHash(std::string_view category, std::string_view word) {
  uint64_t hash = 0xcbf29ce484222325ull ^ category.size();
  for (const unsigned char b : category) hash = (hash ^ b) * 0x100000001b3ull;
  for (const unsigned char b : word) hash = (hash ^ b) * 0x100000001b3ull;
  return hash * 0x9e3779b97f4a7c15ull;
}

std::size_t PairSlot(uint64_t hash) {
  return static_cast<std::size_t>(hash >> 32) & (WordLookups.pair_slots.size() - 1);
}

// The slot of the record registered for the pair, or the empty slot where it
// would go.
std::size_t FindPairSlot(std::string_view category, std::string_view word, uint64_t hash) {
  const std::vector<int32_t>& slots = WordLookups.pair_slots;
  for (std::size_t s = PairSlot(hash);; s = (s + 1) & (slots.size() - 1)) {
    const int32_t r = slots[s];
    if (r == 0 || (WordTable[r].Text == word && WordTable[r].Category == category)) return s;
  }
}

void GrowPairs() {
  std::vector<int32_t> old(std::max<std::size_t>(1024, 2 * WordLookups.pair_slots.size()), 0);
  old.swap(WordLookups.pair_slots);
  for (const int32_t r : old) {
    if (r == 0) continue;
    const TDicWord& w = WordTable[r];
    WordLookups.pair_slots[FindPairSlot(w.Category, w.Text, PairHash(w.Category, w.Text))] = r;
  }
}

// The record registered for the pair, or 0.
int RegisteredPair(const std::string& category, const std::string& word) {
  if (WordLookups.pair_slots.empty()) return 0;
  return WordLookups.pair_slots[FindPairSlot(category, word, PairHash(category, word))];
}

void RememberPair(const std::string& category, const std::string& word, int record) {
  if (2 * (WordLookups.pair_count + 1) > static_cast<int>(WordLookups.pair_slots.size()))
    GrowPairs();
  int32_t& slot = WordLookups.pair_slots[FindPairSlot(category, word, PairHash(category, word))];
  GHOST_ASSERT(slot == 0);
  slot = record;
  ++WordLookups.pair_count;
}

void RememberWord(const std::string& category, const std::string& word, int record) {
  RememberPair(category, word, record);
  AddScanWord(word, record);   // the text's first registration stays
  if (WordLookups.length_present.size() <= word.size())
    WordLookups.length_present.resize(word.size() + 1, 0);
  WordLookups.length_present[word.size()] = 1;
  // WordsInText finds the home slot from the byte sum alone.
  GHOST_ASSERT(HomeOfSum(ByteSum(word), kIndexSlots) == HomeSlot(WordIndex, word));
  WordLookups.home_present[HomeSlot(WordIndex, word)] = 1;
  WordLookups.longest = std::max(WordLookups.longest, static_cast<int>(word.size()));
}

// Files a new record under its category; the category's first indexed word
// puts the category into CategoryList. A full chain leaves it unindexed.
void EnterInCategoryIndex(const std::string& category, int record) {
  const TFreeSlot free = FindFreeSlot(CategoryIndex, category);
  if (free.slot == 0) {
    HookReport({THookCode::ChainFull, THookLevel::Error, 0, 0, {"CategoryIndex", category},
                CategoryIndex.limit});
    return;
  }
  FillSlot(CategoryIndex, free.slot, record);
  std::vector<int32_t>& members = WordLookups.categories[category];
  if (members.empty()) AddCategory(category);
  members.push_back(record);
  ++WordLookups.category_changes;
}

// Category tags by their text, each giving the name a walk of CategoryList
// would meet first: names sharing a tag differ only in their first byte, so
// they are equally long and the latest added stands first. `lengths` holds
// every tag length present, longest first; `last_bytes` by length the set of
// the last bytes of the tags that long, which spares most lookups that miss.
struct TCategoryTags {
  std::unordered_map<std::string, TCategoryTag, TBytesHash, std::equal_to<>> by_tag;
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
  TCategoryTag& record = g_category_tags.by_tag[tag];
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
int32_t PrefixWeight(const std::string& text) {
  return static_cast<int32_t>(text.size()) + 10;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

int RegisterWord(const std::string& category, const std::string& word) {
  const int known = RegisteredPair(category, word);
  if (known != 0) return known;
  GHOST_ASSERT(WordCount >= 0 && WordCount <= kWordCapacity);
  if (WordCount >= kWordCapacity) {
    HookReport({THookCode::TableFull, THookLevel::Error, 0, 0, {"WordTable", word},
                kWordCapacity});
    return 0;
  }
  const TFreeSlot free = FindFreeSlot(WordIndex, word);
  // A walk that reaches its last allowed slot has used up its counter, even
  // when that slot is empty: nothing is stored then.
  if (free.slot == 0 || free.moves_left == 0) {
    HookReport({THookCode::ChainFull, THookLevel::Error, 0, 0, {"WordIndex", word},
                WordIndex.limit});
    return 0;
  }
  const int record = ++WordCount;
  GHOST_ASSERT(WordTable[record].Text.empty() && WordTable[record].Category.empty());
  WordTable[record] = TDicWord{word, category, 0, 0};
  FillSlot(WordIndex, free.slot, record);
  RememberWord(category, word, record);
  EnterInCategoryIndex(category, record);
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
    const auto found = g_category_tags.by_tag.find(rest.substr(0, length));
    if (found != g_category_tags.by_tag.end()) return &found->second;
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
  return record == 0 ? std::string() : WordTable[record].Category;
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
  return WordTable[RandomRecordOfMembers(
                       RememberedMembers(CategoryIndex, WordLookups.categories, category))]
      .Text;
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

std::string RandomWordOfTag(const TCategoryTag& tag) {
  return WordTable[RandomRecordOfTag(tag)].Text;
}

std::string RandomWordByPrefix(const std::string& prefix) {
  if (WordCount == 0) return std::string();
  for (int draw = 1; draw <= kPrefixDraws; ++draw) {
    TDicWord& word = WordTable[Random(WordCount) + 1];
    if (word.CoolDown <= 0 && StartsWith(word.Category, prefix)) {
      word.CoolDown += PrefixWeight(word.Text);
      return word.Text;
    }
    if (draw < kPrefixDraws) --word.CoolDown;
  }
  return std::string();
}
