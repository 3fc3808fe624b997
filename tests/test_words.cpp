// Word tables and lookup: the hash, the probe walks against a literal model
// of them, registration and its refusals, the category list, the three
// choosers and their cool-down rules, links, event talks, the word cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "formula_search.h"
#include "nsdic.h"
#include "nsdic_cache.h"
#include "nsdic_index.h"
#include "nsdic_links.h"
#include "nsdic_scan.h"
#include "nsdic_words.h"
#include "random.h"
#include "shiori.h"

namespace {

// A word of bytes summing to `sum` (at least 0xC1), distinct per variant
// (0..63). Equal sums give equal home slots and probe steps.
std::string WordWithSum(int sum, int variant) {
  std::string word;
  word += static_cast<char>(0x40 + variant);
  word += static_cast<char>(0x80 - variant);
  for (int rest = sum - 0xC0; rest > 0; rest -= 0xFF) word += static_cast<char>(std::min(rest, 0xFF));
  return word;
}

// Byte sums with known walks: a narrow walk from home slot 24043 cycling
// through four slots, a narrow walk that never leaves its home slot 7496, and
// full walks that never move (32771 and 4099 slots).
constexpr int kCycleOfFourSum = 23046;
constexpr int kNarrowStaySum = 31270;
constexpr int kCategoryStaySum = 12508;
constexpr int kEventStaySum = 2159;

// Slot of an index that holds `record`, or 0.
int SlotOf(TStoreIndex index, int record) {
  for (int slot = 1; slot <= kIndexSlots; ++slot)
    if (IndexSlotValue(index, slot) == record) return slot;
  return 0;
}

int OccupiedSlots(TStoreIndex index) {
  int n = 0;
  for (int slot = 1; slot <= kIndexSlots; ++slot) n += IndexSlotValue(index, slot) != 0;
  return n;
}

// The walks and registrations exactly as written, over plain vectors, to
// hold the store's remembered answers against.
struct LiteralWalk {
  int modulus, region, limit;
};
constexpr LiteralWalk kWordWalk{32771, 16384, 16384};
constexpr LiteralWalk kCategoryWalk{32771, 32771, 4096};

struct Stop {
  int slot;
  int moves_left;
  bool matched;
};

Stop Walk(const std::vector<int>& slots, const LiteralWalk& walk, const std::string& key,
          const std::function<bool(int)>& match) {
  int slot = HashText(key, 257, walk.modulus);
  const int step = HashText(key, 131, walk.modulus);
  for (int left = walk.limit;; --left) {
    if (slots[slot] == 0) return {slot, left, false};
    if (match(slots[slot])) return {slot, left, true};
    if (left == 0) return {slot, 0, false};
    slot = (slot + step) % walk.region + 1;
  }
}

struct LiteralStore {
  std::vector<int> word_slots = std::vector<int>(kIndexSlots + 1);
  std::vector<int> category_slots = std::vector<int>(kIndexSlots + 1);
  std::vector<std::pair<std::string, std::string>> words{{}};  // (category, text)
  std::vector<std::string> first_words_of;                     // categories added

  int Register(const std::string& category, const std::string& word) {
    const Stop stop = Walk(word_slots, kWordWalk, word, [&](int r) {
      return words[r].second == word && words[r].first == category;
    });
    if (stop.matched) return word_slots[stop.slot];
    if (stop.moves_left == 0 || word_slots[stop.slot] != 0) return 0;
    words.emplace_back(category, word);
    const int record = static_cast<int>(words.size()) - 1;
    word_slots[stop.slot] = record;
    int count = 0;
    const Stop c = Walk(category_slots, kCategoryWalk, category, [&](int r) {
      count += words[r].first == category;
      return false;
    });
    if (category_slots[c.slot] == 0) {
      category_slots[c.slot] = record;
      if (count == 0) first_words_of.push_back(category);
    }
    return record;
  }
  int Find(const std::string& text) const {
    if (text.empty()) return 0;
    const Stop stop = Walk(word_slots, kWordWalk, text, [&](int r) { return words[r].second == text; });
    return stop.matched ? word_slots[stop.slot] : 0;
  }
  int Member(const std::string& category, int k) const {
    int count = 0;
    const Stop stop = Walk(category_slots, kCategoryWalk, category, [&](int r) {
      return words[r].first == category && ++count == k;
    });
    if (k == 0) return count;
    return stop.matched ? category_slots[stop.slot] : 0;
  }
};

class Words : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
    SetRandomSeed(20240601);
  }
};

std::vector<std::string> CategoryListContents() {
  return std::vector<std::string>(CategoryList + 1, CategoryList + CategoryCount + 1);
}

}  // namespace

TEST(HashText, SumsBytesTimesTheMultiplier) {
  EXPECT_EQ(HashText("", 257, 32771), 1);
  EXPECT_EQ(HashText("ab", 257, 32771), 17345);
  EXPECT_EQ(HashText("ba", 257, 32771), 17345);
  EXPECT_EQ(HashText("ab", 131, 32771), 25546);
  EXPECT_EQ(HashText("ab", 257, 4099), 928);
  EXPECT_EQ(HashText("\xFF\xFF", 257, 32771), 32758);  // bytes unsigned
}

TEST_F(Words, NarrowProbingLeavesOnlyTheHomeSlotAboveTheRegion) {
  const int home = HashText(WordWithSum(kCycleOfFourSum, 0), 257, kIndexSlots);
  ASSERT_GT(home, 16384);
  std::vector<int> slots;
  for (int v = 0; v < 5; ++v) {
    const int record = RegisterWord("\\m", WordWithSum(kCycleOfFourSum, v));
    ASSERT_EQ(record, v + 1);
    slots.push_back(SlotOf(TStoreIndex::Word, record));
  }
  EXPECT_EQ(slots[0], home);
  for (int v = 1; v < 5; ++v) {
    EXPECT_GE(slots[v], 1);
    EXPECT_LE(slots[v], 16384);
  }
  // The chain visits only four slots after its home: the walk runs out.
  EXPECT_EQ(RegisterWord("\\m", WordWithSum(kCycleOfFourSum, 5)), 0);
  EXPECT_EQ(WordCount, 5);
  EXPECT_EQ(FindWord(WordWithSum(kCycleOfFourSum, 5)), 0);
  EXPECT_EQ(FindWord(WordWithSum(kCycleOfFourSum, 4)), 5);
}

TEST_F(Words, DuplicatesAndWordsUnderSeveralCategories) {
  EXPECT_EQ(RegisterWord("\\m", "apple"), 1);
  EXPECT_EQ(RegisterWord("\\m", "apple"), 1);
  EXPECT_EQ(WordCount, 1);
  EXPECT_EQ(RegisterWord("\\fruit", "apple"), 2);
  EXPECT_EQ(RegisterWord("\\m", "pear"), 3);
  EXPECT_EQ(FindWord("apple"), 1);
  EXPECT_EQ(CategoryOfWord("apple"), "\\m");
  EXPECT_EQ(CategoryOfWord("pear"), "\\m");
  EXPECT_EQ(CategoryOfWord("plum"), "");
  EXPECT_EQ(FindWord(""), 0);
  EXPECT_EQ(FindWord("appl"), 0);
  EXPECT_EQ(WordTable[2].Category, "\\fruit");
  EXPECT_EQ(WordTable[2].CoolDown, 0);
  EXPECT_EQ(CategoryMember("\\m", 0), 2);
  EXPECT_EQ(CategoryMember("\\m", 1), 1);
  EXPECT_EQ(CategoryMember("\\m", 2), 3);
  EXPECT_EQ(CategoryMember("\\m", 3), 0);
  EXPECT_EQ(CategoryMember("\\m", -1), 0);
  EXPECT_EQ(CategoryMember("\\none", 0), 0);
  EXPECT_EQ(CategoryListContents(), (std::vector<std::string>{"\\fruit", "\\m"}));
}

TEST_F(Words, CategoryListLongestFirstLatestFirstAmongEquals) {
  RegisterWord("\\ab", "x1");
  RegisterWord("\\abcd", "x2");
  RegisterWord("\\cd", "x3");
  RegisterWord("\\ab", "x4");  // known category: no change
  AddCategory("\\q");
  AddCategory("\\abcd");
  AddCategory("");
  AddCategory("\\wxyz");
  EXPECT_EQ(CategoryListContents(),
            (std::vector<std::string>{"\\wxyz", "\\abcd", "\\cd", "\\ab", "\\q"}));
}

TEST_F(Words, CategoryListIgnoresNamesBeyondItsCapacity) {
  // 64 names of each length from 70 down to 7 bytes, longest group first.
  for (int i = 0; i < kCategoryCapacity; ++i) {
    std::string name = "\\c" + std::to_string(i);
    name.resize(70 - i / 64, 'x');
    AddCategory(name);
  }
  ASSERT_EQ(CategoryCount, kCategoryCapacity);
  AddCategory(std::string(80, 'L'));
  AddCategory("\\c");
  EXPECT_EQ(CategoryCount, kCategoryCapacity);
  EXPECT_EQ(CategoryTagAt("%" + std::string(79, 'L'), 1), "");
  EXPECT_EQ(CategoryTagAt("%c", 1), "");
  EXPECT_EQ(CategoryList[1].substr(0, 5), "\\c63x");
  EXPECT_EQ(CategoryList[kCategoryCapacity], "\\c4032x");
  for (int i = 1; i < kCategoryCapacity; ++i)
    ASSERT_GE(CategoryList[i].size(), CategoryList[i + 1].size());
}

namespace {

// The literal walk of CategoryList: the first name whose tag stands at the
// 1-based position of a "%".
std::string CategoryByWalk(const std::string& text, int position) {
  if (position < 1 || position > static_cast<int>(text.size()) || text[position - 1] != '%')
    return "";
  for (int i = 1; i <= CategoryCount; ++i) {
    const std::string& name = CategoryList[i];
    if (text.compare(position, name.size() - 1, name, 1) == 0 &&
        position + name.size() - 1 <= text.size())
      return name;
  }
  return "";
}

}  // namespace

TEST_F(Words, CategoryTagAtAgreesWithTheWalkOfCategoryList) {
  // Few bytes and short names: many names share a tag (they differ only in
  // the first byte) or are prefixes of one another; some run past the eight
  // bytes a tag's hash reads at a step.
  std::mt19937 rng(7);
  const std::string first_bytes = "\\ab%";
  const std::string rest_bytes = "xy%";
  auto pick = [&](const std::string& from) { return from[rng() % from.size()]; };
  for (int round = 0; round < 40; ++round) {
    ResetModule();
    const int names = 1 + static_cast<int>(rng() % 60);
    for (int n = 0; n < names; ++n) {
      std::string name(1, pick(first_bytes));
      const int longest = n % 4 == 0 ? 12 : 5;
      for (int k = static_cast<int>(rng() % longest); k > 0; --k) name += pick(rest_bytes);
      if (rng() % 3 == 0) RegisterWord(name, "w" + std::to_string(n));
      else AddCategory(name);
    }
    for (int t = 0; t < 60; ++t) {
      std::string text;
      for (int k = static_cast<int>(rng() % 14); k > 0; --k) text += pick(rest_bytes + "%z");
      for (int position = 0; position <= static_cast<int>(text.size()) + 1; ++position)
        ASSERT_EQ(CategoryTagAt(text, position), CategoryByWalk(text, position))
            << "round " << round << " text " << text << " at " << position;
    }
  }
}

TEST_F(Words, CategoryTagAtFollowsTheOrderOfAdditionAndTheReset) {
  AddCategory("axy");
  EXPECT_EQ(CategoryTagAt("%xy", 1), "axy");
  AddCategory("bxy");  // same tag, added later: stands first in the list
  EXPECT_EQ(CategoryTagAt("%xy", 1), "bxy");
  AddCategory("axy");  // known name: the list and the answer stay
  EXPECT_EQ(CategoryTagAt("%xy", 1), "bxy");
  AddCategory("cx");
  AddCategory("cxyz");
  EXPECT_EQ(CategoryTagAt("a%xyz", 2), "cxyz");
  EXPECT_EQ(CategoryTagAt("a%xyz", 1), "");
  EXPECT_EQ(CategoryTagAt("%xq", 1), "cx");
  EXPECT_EQ(CategoryTagAt("%x", 1), "cx");
  ResetModule();
  EXPECT_EQ(CategoryTagAt("%xy", 1), "");
}

// A mixed workload with heavy collisions, cycling and stuck chains, checked
// against the literal walks: every result, every slot, every lookup.
TEST_F(Words, RegistrationAndLookupsMatchTheLiteralWalks) {
  LiteralStore literal;
  std::mt19937 gen(7);
  const std::string stuck_category = "\\" + WordWithSum(kCategoryStaySum - '\\', 1);
  ASSERT_EQ((HashText(stuck_category, 131, kIndexSlots) + 1) % kIndexSlots, 0);
  const std::vector<std::string> categories = {"\\m", "\\ms", "\\dms", "\\[tag]", stuck_category};
  std::vector<std::pair<std::string, std::string>> work;
  for (int i = 0; i < 3000; ++i) {
    std::string word;
    const int length = 2 + static_cast<int>(gen() % 7);
    for (int j = 0; j < length; ++j) word += "ab"[gen() % 2];
    work.emplace_back(categories[gen() % 4], word);
  }
  for (int v = 0; v < 8; ++v) work.emplace_back("\\m", WordWithSum(kCycleOfFourSum, v));
  for (int v = 0; v < 3; ++v) work.emplace_back("\\m", WordWithSum(kNarrowStaySum, v));
  for (int v = 0; v < 3; ++v) work.emplace_back(stuck_category, WordWithSum(300, v));

  int refused = 0;
  for (const auto& [category, word] : work) {
    const int record = literal.Register(category, word);
    ASSERT_EQ(RegisterWord(category, word), record) << word;
    refused += record == 0;
  }
  ASSERT_GE(refused, 5);  // the cycling and the stuck word chains ran out
  for (int slot = 1; slot <= kIndexSlots; ++slot) {
    ASSERT_EQ(IndexSlotValue(TStoreIndex::Word, slot), literal.word_slots[slot]) << slot;
    ASSERT_EQ(IndexSlotValue(TStoreIndex::Category, slot), literal.category_slots[slot]) << slot;
  }
  for (const auto& [category, word] : work) ASSERT_EQ(FindWord(word), literal.Find(word)) << word;
  for (const std::string& category : categories) {
    const int n = literal.Member(category, 0);
    ASSERT_EQ(CategoryMember(category, 0), n);
    for (int k = 1; k <= n + 1; k += k < 20 || k >= n - 1 ? 1 : 97)
      ASSERT_EQ(CategoryMember(category, k), literal.Member(category, k)) << k;
  }
  // The stuck category holds one word, met on every step of its walk.
  EXPECT_EQ(CategoryMember(stuck_category, 0), kCategoryCapacity + 1);
  std::vector<std::string> added = literal.first_words_of;
  std::vector<std::string> listed = CategoryListContents();
  std::sort(added.begin(), added.end());
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, added);
}

// Runs of words of more categories than registration keeps at hand, pairs
// repeated among them, and a reset before a round that starts with the
// category the first one ended with.
TEST_F(Words, CategoriesTakingTurnsKeepEveryPairAcrossAReset) {
  const std::vector<std::string> categories = {"\\a", "\\bb", "\\c", "\\dd", "\\e", "\\ff"};
  for (int round = 0; round < 2; ++round) {
    LiteralStore literal;
    for (int i = 0; i < 3000; ++i) {
      const std::string& category = categories[(i / 3 + 3 * round) % categories.size()];
      const std::string word = "w" + std::to_string(i % 700);
      ASSERT_EQ(RegisterWord(category, word), literal.Register(category, word)) << i;
    }
    for (const std::string& category : categories) {
      const int n = literal.Member(category, 0);
      ASSERT_EQ(CategoryMember(category, 0), n) << category;
      for (int k = 1; k <= n; ++k) ASSERT_EQ(CategoryMember(category, k), literal.Member(category, k));
    }
    EXPECT_EQ(WordCount, static_cast<int>(literal.words.size()) - 1);
    ResetModule();
  }
}

TEST_F(Words, FullWordTableRefusesNewWordsWithoutTouchingTheIndex) {
  for (int i = 0; i < kWordCapacity; ++i)
    ASSERT_EQ(RegisterWord("\\m", WordWithSum(300 + i, 0)), i + 1);
  const int occupied = OccupiedSlots(TStoreIndex::Word);
  EXPECT_EQ(RegisterWord("\\m", "fresh"), 0);
  EXPECT_EQ(RegisterWord("\\other", WordWithSum(300, 0)), 0);
  EXPECT_EQ(WordCount, kWordCapacity);
  EXPECT_EQ(OccupiedSlots(TStoreIndex::Word), occupied);
  EXPECT_EQ(FindWord("fresh"), 0);
  EXPECT_EQ(CategoryOfWord(WordWithSum(300, 0)), "\\m");
  EXPECT_EQ(RegisterWord("\\m", WordWithSum(301, 0)), 2);  // known pair still answers
}

TEST_F(Words, ACategoryWalkFilesItsWordOnTheLastAllowedSlot) {
  // A category's walk may make 4096 moves: its 4097th word is filed on the
  // slot the last move reaches, the 4098th nowhere.
  for (int i = 0; i < 4098; ++i) ASSERT_EQ(RegisterWord("\\big", WordWithSum(300 + i, 0)), i + 1);
  EXPECT_EQ(CategoryMember("\\big", 0), 4097);
  EXPECT_EQ(CategoryMember("\\big", 4097), 4097);
  EXPECT_EQ(CategoryMember("\\big", 4098), 0);
  EXPECT_EQ(OccupiedSlots(TStoreIndex::Category), 4097);
}

namespace {

// Advances a copy of the generator by `draws` and gives the seed reached.
uint32_t SeedAfter(uint32_t seed, int draws) {
  const uint32_t saved = RandomSeed();
  SetRandomSeed(seed);
  for (int i = 0; i < draws; ++i) Random(1);
  const uint32_t reached = RandomSeed();
  SetRandomSeed(saved);
  return reached;
}

std::vector<int32_t> CoolDowns() {
  std::vector<int32_t> values;
  for (int i = 1; i <= WordCount; ++i) values.push_back(WordTable[i].CoolDown);
  return values;
}

// The category chooser as written: CandidateList from CategoryMember(c, k)
// for every k, up to 1024 draws, over a copy of the CoolDown values.
int ReferenceCategoryDraw(const std::string& category, std::vector<int32_t>& cool) {
  const int n = CategoryMember(category, 0);
  std::vector<int> candidates;
  for (int k = 1; k <= n; ++k) candidates.push_back(CategoryMember(category, k));
  int record = 0;
  for (int draw = 1;; ++draw) {
    record = candidates[Random(n)];
    if (cool[record - 1] <= 0 || draw == 1024) break;
    --cool[record - 1];
  }
  cool[record - 1] += Weight(WordTable[record].Text);
  return record;
}

// CPU seconds of this process since `start` (from std::clock): the bounds
// are on the work, which other processes on a shared machine do not change.
double SecondsSince(std::clock_t start) {
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

}  // namespace

TEST_F(Words, CategoryChooserCoolDown) {
  const uint32_t seed = RandomSeed();
  EXPECT_EQ(RandomWordOfCategory("\\none"), "");
  EXPECT_EQ(RandomSeed(), seed);  // nothing drawn

  RegisterWord("\\m", "abcd");  // Weight 12
  EXPECT_EQ(RandomWordOfCategory("\\m"), "abcd");
  EXPECT_EQ(WordTable[1].CoolDown, 12);
  EXPECT_EQ(RandomSeed(), SeedAfter(seed, 1));
  // Twelve refused draws bring it to 0, the thirteenth takes it.
  EXPECT_EQ(RandomWordOfCategory("\\m"), "abcd");
  EXPECT_EQ(WordTable[1].CoolDown, 12);
  EXPECT_EQ(RandomSeed(), SeedAfter(seed, 14));
  // The 1024th draw takes its candidate whatever its CoolDown.
  WordTable[1].CoolDown = 5000;
  EXPECT_EQ(RandomWordOfCategory("\\m"), "abcd");
  EXPECT_EQ(WordTable[1].CoolDown, 5000 - 1023 + 12);
  EXPECT_EQ(RandomSeed(), SeedAfter(seed, 14 + 1024));
}

TEST_F(Words, CategoryChooserDrawsAsWrittenFromEveryMember) {
  for (int i = 0; i < 5000; ++i) RegisterWord(i % 2 ? "\\big" : "\\odd", WordWithSum(300 + i, 0));
  for (int i = 0; i < 800; ++i) RegisterWord("\\big", WordWithSum(6000 + i, 1));
  ASSERT_EQ(CategoryMember("\\big", 0), 3300);
  std::vector<int32_t> cool = CoolDowns();
  for (int round = 0; round < 100; ++round) {
    const uint32_t seed = RandomSeed();
    const int expected = ReferenceCategoryDraw("\\big", cool);
    const uint32_t after = RandomSeed();
    SetRandomSeed(seed);
    ASSERT_EQ(RandomWordOfCategory("\\big"), WordTable[expected].Text) << round;
    ASSERT_EQ(RandomSeed(), after);
    ASSERT_EQ(CoolDowns(), cool) << round;
  }
}

TEST_F(Words, PrefixChooser) {
  const uint32_t seed = RandomSeed();
  EXPECT_EQ(RandomWordByPrefix("\\m"), "");
  EXPECT_EQ(RandomSeed(), seed);

  RegisterWord("\\x", "other");
  EXPECT_EQ(RandomWordByPrefix("\\m"), "");
  EXPECT_EQ(WordTable[1].CoolDown, -4999);  // the 5000th refusal keeps its value
  EXPECT_EQ(RandomSeed(), SeedAfter(seed, 5000));

  ResetModule();
  RegisterWord("\\ms", "abcd");
  EXPECT_EQ(RandomWordByPrefix("\\m"), "abcd");
  EXPECT_EQ(WordTable[1].CoolDown, 14);  // full length plus 10

  // Over many draws the chooser comes to every word of a category that begins
  // with the prefix ("\\ms", "\\m1", "\\m2") and never takes another ("\\dms").
  for (int i = 0; i < 40; ++i) RegisterWord(i % 3 ? "\\m" + std::to_string(i % 3) : "\\dms", "w" + std::to_string(i));
  std::set<std::string> taken;
  for (int round = 0; round < 400; ++round) {
    const std::string chosen = RandomWordByPrefix("\\m");
    ASSERT_NE(FindWord(chosen), 0) << round;
    ASSERT_EQ(WordTable[FindWord(chosen)].Category.rfind("\\m", 0), 0u) << chosen;
    taken.insert(chosen);
  }
  EXPECT_EQ(taken.size(), 27u);
}

TEST_F(Words, LinksCountByTheLinkedWordsCategory) {
  RegisterWord("\\m", "sky");        // 1
  RegisterWord("\\color", "blue");   // 2
  RegisterWord("\\color", "grey");   // 3
  RegisterWord("\\thing", "cloud");  // 4
  EXPECT_EQ(RegisterLink("sky", 1, 2), 1);
  EXPECT_EQ(RegisterLink("sky", 1, 4), 2);
  EXPECT_EQ(RegisterLink("sky", 1, 3), 3);
  EXPECT_EQ(RegisterLink("sky", 1, 2), 4);  // the same link again: a second record
  EXPECT_EQ(LinkCount, 4);
  EXPECT_EQ(LinkTable[4].FromWord, 1);
  EXPECT_EQ(LinkTable[4].ToWord, 2);
  EXPECT_EQ(LinkedMember("sky", "\\color", 0), 3);
  EXPECT_EQ(LinkedMember("sky", "\\color", 1), 2);
  EXPECT_EQ(LinkedMember("sky", "\\color", 2), 3);
  EXPECT_EQ(LinkedMember("sky", "\\color", 3), 2);
  EXPECT_EQ(LinkedMember("sky", "\\color", 4), 0);
  EXPECT_EQ(LinkedMember("sky", "\\thing", 0), 1);
  EXPECT_EQ(LinkedMember("sk", "\\color", 0), 0);
  EXPECT_EQ(LinkedMember("yks", "\\color", 0), 0);  // same chain, other text
  LinkTable[3].Reserved1 = 1;                         // links marked so are skipped
  EXPECT_EQ(LinkedMember("sky", "\\color", 0), 2);
  EXPECT_EQ(LinkedMember("sky", "\\color", 2), 2);
}

TEST_F(Words, LinkedWordChooser) {
  RegisterWord("\\m", "sky");
  RegisterWord("\\color", "blue");
  RegisterWord("\\color", "grey");
  RegisterLink("sky", 1, 2);
  RegisterLink("sky", 1, 3);
  RegisterLink("sky", 1, 2);
  for (int round = 0; round < 20; ++round) {
    const uint32_t seed = RandomSeed();
    const int k = Random(3) + 1;
    const uint32_t after = RandomSeed();
    SetRandomSeed(seed);
    ASSERT_EQ(RandomLinkedWord("sky", "\\color"), WordTable[LinkedMember("sky", "\\color", k)].Text);
    ASSERT_EQ(RandomSeed(), after);
  }
  EXPECT_EQ(WordTable[2].CoolDown + WordTable[3].CoolDown, 0);  // links leave CoolDown alone
  // Without a link the category chooser answers, cool-down and all.
  const std::string word = RandomLinkedWord("rain", "\\color");
  EXPECT_TRUE(word == "blue" || word == "grey");
  EXPECT_EQ(WordTable[FindWord(word)].CoolDown, Weight(word));
  EXPECT_EQ(RandomLinkedWord("rain", "\\none"), "");
}

TEST_F(Words, LinkTableRefusesPastItsCapacityAndFullChainsLeaveLinksUnindexed) {
  const std::string stuck = WordWithSum(kNarrowStaySum, 0);
  RegisterWord("\\m", stuck);
  RegisterWord("\\n", "to");
  EXPECT_EQ(RegisterLink(stuck, 1, 2), 1);
  EXPECT_EQ(RegisterLink(stuck, 1, 2), 2);  // stored, but its walk never leaves the home slot
  EXPECT_EQ(OccupiedSlots(TStoreIndex::Link), 1);
  // The walk meets the one indexed link on each of its 16385 slots.
  EXPECT_EQ(LinkedMember(stuck, "\\n", 0), 16385);
  EXPECT_EQ(LinkedMember(stuck, "\\n", 16385), 2);
  RegisterWord("\\n", "filler");
  for (int i = 3; i <= kLinkCapacity; ++i) ASSERT_EQ(RegisterLink("w" + std::to_string(i % 500), 3, 3), i);
  EXPECT_EQ(RegisterLink("to", 2, 1), 0);
  EXPECT_EQ(LinkCount, kLinkCapacity);
  EXPECT_EQ(LinkedMember("to", "\\m", 0), 0);
}

TEST_F(Words, EventTalksLineUpByName) {
  EXPECT_EQ(RegisterConditional("OnBoot", "", "hello"), 1);
  EXPECT_EQ(RegisterConditional("OnClose", "nohit", "bye"), 2);
  EXPECT_EQ(RegisterConditional("OnBoot", "%hour > 12", "good afternoon"), 3);
  EXPECT_EQ(EventCount, 3);
  EXPECT_EQ(SentenceCount, 3);
  EXPECT_EQ(EventTable[3].Sentence, 3);
  EXPECT_EQ(EventTable[3].Name, "OnBoot");
  EXPECT_EQ(EventTable[3].Condition, "%hour > 12");
  EXPECT_EQ(SentenceTable[3].Text, "good afternoon");
  EXPECT_EQ(SentenceTable[3].Kind, TSentenceKind::Event);
  EXPECT_EQ(SentenceTable[3].CoolDown, Weight("good afternoon"));
  EXPECT_EQ(ConditionalMember("OnBoot", 0), 2);
  EXPECT_EQ(ConditionalMember("OnBoot", 1), 1);
  EXPECT_EQ(ConditionalMember("OnBoot", 2), 3);
  EXPECT_EQ(ConditionalMember("OnBoot", 3), 0);
  EXPECT_EQ(ConditionalMember("OnClose", 1), 2);
  EXPECT_EQ(ConditionalMember("OnBo", 0), 0);
}

TEST_F(Words, EventRegistrationRefusals) {
  // A name whose walk never leaves its home slot takes one talk only; the
  // walk then meets that talk on each of its 2049 slots.
  const std::string stuck = WordWithSum(kEventStaySum, 0);
  ASSERT_EQ((HashText(stuck, 131, kEventIndexSlots) + 1) % kEventIndexSlots, 0);
  EXPECT_EQ(RegisterConditional(stuck, "", "one"), 1);
  EXPECT_EQ(RegisterConditional(stuck, "", "two"), 0);
  EXPECT_EQ(EventCount, 1);
  EXPECT_EQ(SentenceCount, 1);
  EXPECT_EQ(ConditionalMember(stuck, 0), 2049);
  EXPECT_EQ(ConditionalMember(stuck, 2049), 1);
  EXPECT_EQ(ConditionalMember(stuck, 2050), 0);

  for (int i = 2; i <= kEventCapacity; ++i) ASSERT_EQ(RegisterConditional("OnTick", "", "t"), i);
  EXPECT_EQ(ConditionalMember("OnTick", 0), kEventCapacity - 1);
  EXPECT_EQ(RegisterConditional("OnOther", "", "x"), 0);
  EXPECT_EQ(EventCount, kEventCapacity);
  EXPECT_EQ(SentenceCount, kEventCapacity);
  EXPECT_EQ(ConditionalMember("OnOther", 0), 0);

  ResetModule();
  while (SentenceCount < kSentenceCapacity) AddSentence("s", TSentenceKind::FreeTalk, 0);
  EXPECT_EQ(RegisterConditional("OnBoot", "", "x"), 0);
  EXPECT_EQ(EventCount, 0);
  EXPECT_EQ(OccupiedSlots(TStoreIndex::Event), 0);
}

TEST_F(Words, WordCacheKeepsLongestKeyFirstAndLatestFirstAmongEquals) {
  CacheWord("\\m", "a", 0);
  CacheWord("\\ms", "b", 0);
  CacheWord("\\xy", "c", '2');
  CacheWord("", "ignored", 0);
  CacheWord("\\m", "d", '3');  // known key: value and digit replaced
  ASSERT_EQ(WordCacheCount, 3);
  EXPECT_EQ(WordCacheEntry(1).Key, "\\xy");
  EXPECT_EQ(WordCacheEntry(1).Digit, '2');
  EXPECT_EQ(WordCacheEntry(2).Key, "\\ms");
  EXPECT_EQ(WordCacheEntry(3).Key, "\\m");
  EXPECT_EQ(WordCacheEntry(3).Value, "d");
  EXPECT_EQ(WordCacheEntry(3).Digit, '3');
  EXPECT_EQ(WordCacheEntry(4).Key, "");
  EXPECT_EQ(WordCacheEntry(0).Key, "");
  ClearWordCache();
  EXPECT_EQ(WordCacheCount, 0);
  EXPECT_EQ(WordCacheEntry(1).Key, "");
  CacheWord("\\m", "e", 0);
  EXPECT_EQ(WordCacheEntry(1).Value, "e");
}

TEST_F(Words, WordCacheIgnoresEverythingOnceFull) {
  for (int i = 0; i < kWordCacheCapacity; ++i) CacheWord("\\k" + std::to_string(i), "v", 0);
  ASSERT_EQ(WordCacheCount, kWordCacheCapacity);
  CacheWord("\\new", "v", 0);
  CacheWord("\\k7", "changed", '9');
  EXPECT_EQ(WordCacheCount, kWordCacheCapacity);
  std::vector<std::string> keys;
  for (int k = 1; !WordCacheEntry(k).Key.empty(); ++k) {
    keys.push_back(WordCacheEntry(k).Key);
    ASSERT_EQ(WordCacheEntry(k).Value, "v");
  }
  EXPECT_EQ(keys.size(), 500u);
  EXPECT_EQ(keys.front(), "\\k499");
  EXPECT_EQ(keys.back(), "\\k0");
}

TEST_F(Words, RegisteringAFullTableOfCollidingWordsIsFast) {
  const std::clock_t start = std::clock();
  int stored = 0;
  for (int i = 0; i < kWordCapacity; ++i) {
    char word[16];
    std::snprintf(word, sizeof word, "w%05d", i);
    stored += RegisterWord("\\m" + std::to_string(i % 8), word) != 0;
  }
  const double seconds = SecondsSince(start);
  EXPECT_LT(seconds, 0.5);
  EXPECT_EQ(stored, WordCount);
  EXPECT_GT(WordCount, 1000);
  std::printf("registered %d of %d colliding words in %.3f s\n", WordCount, kWordCapacity, seconds);
}

namespace {

// WordsInText as written: every candidate built and looked up.
std::string ReferenceWordsInText(const std::string& text) {
  std::string result;
  const int length = static_cast<int>(text.size());
  for (int p = 1; p < length; ++p) {
    if (text[p - 1] != '\\') {
      for (int i = 2; p + i - 1 < length; ++i) {
        if (ShiftJisMode() && IsModeLeadByte(static_cast<unsigned char>(text[p + i - 2]))) ++i;
        const int record = FindWord(text.substr(p - 1, i));
        if (record) {
          result.append(WordTable[record].Text).append(",").append(WordTable[record].Category);
          result += "\r\n";
        }
      }
    }
    if (ShiftJisMode() && IsModeLeadByte(static_cast<unsigned char>(text[p - 1]))) ++p;
  }
  return result;
}

class WordsInTextTest : public Words {
 protected:
  void TearDown() override { ResetModule(); }
};

}  // namespace

TEST_F(WordsInTextTest, ListsHitsByStartThenLengthWithRepeats) {
  RegisterWord("\\m", "ab");
  RegisterWord("\\m", "abc");
  RegisterWord("\\n", "bc");
  RegisterWord("\\x", "ab");  // listed with its first category
  EXPECT_EQ(WordsInText("abcab!"), "ab,\\m\r\nabc,\\m\r\nbc,\\n\r\nab,\\m\r\n");
  EXPECT_EQ(WordsInText(""), "");
  EXPECT_EQ(WordsInText("a"), "");
}

TEST_F(WordsInTextTest, NothingEndingOnTheLastByteNorStartingWithABackslash) {
  RegisterWord("\\m", "cd");
  RegisterWord("\\m", "\\ab");
  RegisterWord("\\m", "ab");
  EXPECT_EQ(WordsInText("abcd"), "ab,\\m\r\n");
  EXPECT_EQ(WordsInText("cd"), "");
  EXPECT_EQ(WordsInText("xcdx"), "cd,\\m\r\n");
  EXPECT_EQ(WordsInText("z\\abz"), "ab,\\m\r\n");
}

TEST_F(WordsInTextTest, LeadBytesExtendCandidatesOnlyInShiftJisMode) {
  RegisterWord("\\m", "a\x82\xA0");
  RegisterWord("\\m", "\xA0" "b");
  RegisterWord("\\m", "c\xE0\xA0");
  SetCharset("Shift_JIS");
  // The candidate "a" + lead byte takes the trail byte, reaching the end.
  EXPECT_EQ(WordsInText("a\x82\xA0"), "a\x82\xA0,\\m\r\n");
  // No candidate starts on a trail byte.
  EXPECT_EQ(WordsInText("\x82\xA0" "bc"), "");
  EXPECT_EQ(WordsInText("c\xE0\xA0"), "c\xE0\xA0,\\m\r\n");
  SetCharset("EUC-JP");
  EXPECT_EQ(WordsInText("c\xE0\xA0"), "");
  EXPECT_EQ(WordsInText("a\x82\xA0"), "");
  EXPECT_EQ(WordsInText("\x82\xA0" "bc"), "\xA0" "b,\\m\r\n");
}

TEST_F(WordsInTextTest, AgreesWithTheLiteralScanOnRandomText) {
  std::mt19937 gen(11);
  const std::string alphabet = "ab\\\x81\x9F\xE0\xA0";
  auto random_text = [&](int length) {
    std::string text;
    for (int i = 0; i < length; ++i) text += alphabet[gen() % alphabet.size()];
    return text;
  };
  // Words registered between searches (as "TEACH" does) are found at once.
  for (int i = 0; i < 300; ++i) RegisterWord("\\c" + std::to_string(i % 5), random_text(1 + gen() % 6));
  int hits = 0;
  for (const char* charset : {"Shift_JIS", "other"}) {
    SetCharset(charset);
    for (int round = 0; round < 50; ++round) {
      RegisterWord("\\t", random_text(1 + gen() % 8));
      const std::string text = random_text(gen() % 200);
      const std::string expected = ReferenceWordsInText(text);
      ASSERT_EQ(WordsInText(text), expected) << charset << round;
      ASSERT_EQ(WordsInTextStepwise(text), expected) << charset << round;
      hits += !expected.empty();
    }
  }
  EXPECT_GT(hits, 80);
}

// The word texts are entered all at once at the first lookup, then one at a
// time, which moves the children of nodes whose slots are taken: every text
// keeps its first registration through both.
TEST_F(WordsInTextTest, LookupsKeepTheFirstRegistrationAsTextsAreEnteredLate) {
  std::mt19937 gen(5);
  std::map<std::string, int> first;
  auto register_some = [&](int count) {
    for (int i = 0; i < count; ++i) {
      std::string text(1 + gen() % 5, ' ');
      for (char& c : text) c = static_cast<char>(gen() % 4 == 0 ? gen() % 256 : 0x80 + gen() % 8);
      const int record = RegisterWord("\\c" + std::to_string(gen() % 3), text);
      if (record != 0) first.emplace(text, record);
    }
  };
  register_some(2000);
  for (int round = 0; round < 40; ++round) {
    for (const auto& [text, record] : first) ASSERT_EQ(FindWord(text), record) << round;
    ASSERT_EQ(FindWord(std::string(6, '\x80')), 0);
    register_some(50);
  }
}

TEST_F(WordsInTextTest, AnswersA64KiBTextQuickly) {
  for (int i = 0; i < kWordCapacity; ++i) {
    char word[16];
    std::snprintf(word, sizeof word, "%c%c%d", 'a' + i % 26, 'a' + i / 26 % 26, i % 97);
    RegisterWord("\\m", word);
  }
  std::mt19937 gen(3);
  std::string text;
  while (text.size() < 65536) text += static_cast<char>("abcdefghijklmnopqrstuvwxyz0123456789 \x82\xA0"[gen() % 39]);
  const std::clock_t start = std::clock();
  const std::string hits = WordsInText(text);
  const double seconds = SecondsSince(start);
  EXPECT_LT(seconds, 0.5);
  EXPECT_FALSE(hits.empty());
  std::printf("64 KiB text: %zu bytes of hits in %.3f s\n", hits.size(), seconds);
}
