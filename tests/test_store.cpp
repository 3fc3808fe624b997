// The dictionary store: the module's reset, status lines, counts by letter,
// the capacity refusals of the appending operations, the random generator,
// and the assertion switch.
#include <gtest/gtest.h>

#include <string>

#include "fileutl.h"
#include "formula_search.h"
#include "formula_values.h"
#include "formula_vars.h"
#include "ghost_assert.h"
#include "nsdic.h"
#include "nsdic_cache.h"
#include "nsdic_index.h"
#include "nsdic_links.h"
#include "nsdic_macro.h"
#include "nsdic_words.h"
#include "random.h"
#include "shiori.h"

namespace {

class Store : public ::testing::Test {
 protected:
  void SetUp() override { ResetModule(); }
};

}  // namespace

// One entry brings every unit back, the overrides of the seed and the clock
// included; what is registered afterwards starts again from record 1.
TEST_F(Store, ModuleResetBringsEveryUnitBackToItsStartState) {
  SetBaseDirectory("somewhere/");
  SetRandomSeed(0xFFFFFFFFu);
  SetCharset("EUC-JP");
  Assign("\\v", "1");
  const int word = RegisterWord("\\m", "word");
  RegisterLink("word", word, word);
  RegisterConditional("OnBoot", "", "hi");
  AddSentence("talk", TSentenceKind::FreeTalk, 0);
  AddReply(1, "");
  StatusList[1] = "extra";
  StatusCount = 1;
  NSDeclare = AIStateComplex = true;
  OwnerName = "owner";
  CacheWord("\\m", "word", 0);
  const TClockReading long_ago{1999, 1, 2, 3, 4, 5, 6};
  SetClockOverride(&long_ago);
  CurrentTalk.EventName = "OnBoot";
  DefineMacro("<a>", "b");
  const int slot = HomeSlot(WordIndex, "word");
  ASSERT_EQ(IndexSlotValue(TStoreIndex::Word, slot), word);

  ResetModule();
  EXPECT_EQ(BaseDirectory(), "");
  EXPECT_LT(RandomSeed(), 86400000u);  // milliseconds since midnight
  EXPECT_EQ(CharsetName(), "Shift_JIS");
  EXPECT_TRUE(ShiftJisMode());
  EXPECT_EQ(VariableCount(), 0);
  EXPECT_EQ(WordCount + CategoryCount + LinkCount + EventCount + SentenceCount + ReplyCount +
                StatusCount,
            0);
  EXPECT_FALSE(NSDeclare);
  EXPECT_FALSE(AIStateComplex);
  EXPECT_EQ(OwnerName, "");
  EXPECT_EQ(StatusList[0], "100,100,100,100,100,100,100,50,50,100,100,50");
  EXPECT_EQ(StatusList[1], "");
  EXPECT_EQ(WordTable[1].Text, "");
  EXPECT_EQ(SentenceTable[1].Text, "");
  EXPECT_EQ(IndexSlotValue(TStoreIndex::Word, slot), 0);
  EXPECT_EQ(FindWord("word"), 0);
  EXPECT_EQ(CategoryMember("\\m", 0), 0);
  EXPECT_EQ(CategoryTagAt("%m", 1), "");
  EXPECT_EQ(LinkedMember("word", "\\m", 0), 0);
  EXPECT_EQ(ConditionalMember("OnBoot", 0), 0);
  EXPECT_EQ(WordCacheEntry(1).Key, "");
  EXPECT_EQ(CurrentTalk.EventName, "");
  EXPECT_NE(ExpandPercentName(1, "%year"), "1999");
  EXPECT_EQ(ExpandMacros("<a>"), "<a>");

  EXPECT_EQ(RegisterWord("\\n", "word"), 1);
  EXPECT_EQ(FindWord("word"), 1);
  EXPECT_EQ(CategoryMember("\\n", 1), 1);
}

TEST_F(Store, StatusLineShortAndLongForms) {
  BuildStatusLine();
  EXPECT_EQ(StatusList[0], "0,0,0,0,0,0");
  AIStateComplex = true;
  BuildStatusLine();
  EXPECT_EQ(StatusList[0], "0,0,0,0,0,0,0,0,0,0,0,0");

  RegisterWord("\\m", "word");
  AIStateComplex = false;
  BuildStatusLine();
  EXPECT_EQ(StatusList[0], "1,0,1,0,0,0");
  AIStateComplex = true;
  BuildStatusLine();
  EXPECT_EQ(StatusList[0], "1,0,0,1,0,0,120,0,0,120,0,0");
}

TEST_F(Store, StatusLineOrdersCategoriesAndRepliesByForm) {
  for (int i = 0; i < 9; ++i) RegisterWord("\\m" + std::to_string(i % 3), "w" + std::to_string(i));
  RegisterLink("w0", 1, 2);
  for (int i = 0; i < 98; ++i) AddReply(0, "");
  AddHello(0, "");
  RegisterConditional("OnBoot", "", "hi");
  AddSentence("a", TSentenceKind::FreeTalk, 0);
  // W=9 L=1 C=3 R=99 E=1 S=2
  BuildStatusLine();
  EXPECT_EQ(StatusList[0], "9,1,3,99,1,2");
  AIStateComplex = true;
  BuildStatusLine();
  // g(9)=400, g(1)=120, g(99)=800, g(3)=240, g(2)=190
  EXPECT_EQ(StatusList[0], "9,1,99,3,1,2,400,120,800,240,120,190");
}

TEST_F(Store, CountByLetter) {
  RegisterWord("\\m", "a1");
  RegisterWord("\\m", "a1");
  EXPECT_EQ(CountByLetter('w'), "1");
  RegisterWord("\\n", "a1");
  EXPECT_EQ(CountByLetter('w'), "2");
  EXPECT_EQ(CountByLetter('t'), "2");
  RegisterLink("a1", 1, 2);
  RegisterConditional("OnBoot", "", "talk");
  AddSentence("x", TSentenceKind::FreeTalk, 0);
  AddReply(1, "");
  AddReply(1, "");
  AddHello(1, "");
  EXPECT_EQ(CountByLetter('c'), "1");
  EXPECT_EQ(CountByLetter('e'), "1");
  EXPECT_EQ(CountByLetter('b'), "2");
  EXPECT_EQ(CountByLetter('r'), "2");
  EXPECT_EQ(CountByLetter('h'), "1");
  EXPECT_EQ(CountByLetter('W'), "0");
  EXPECT_EQ(CountByLetter('\0'), "0");
}

TEST_F(Store, AppendingStopsAtEachCapacity) {
  for (int i = 1; i <= kSentenceCapacity; ++i) ASSERT_EQ(AddSentence("s", TSentenceKind::FreeTalk, 0), i);
  EXPECT_EQ(AddSentence("over", TSentenceKind::Reply, 5), 0);
  EXPECT_EQ(SentenceCount, kSentenceCapacity);
  EXPECT_EQ(SentenceTable[kSentenceCapacity].Text, "s");

  for (int i = 1; i <= kReplyCapacity; ++i) ASSERT_EQ(AddReply(i, "c"), i);
  EXPECT_EQ(AddReply(7, "over"), 0);
  EXPECT_EQ(ReplyCount, kReplyCapacity);
  EXPECT_EQ(ReplyTable[kReplyCapacity].Sentence, kReplyCapacity);

  for (int i = 1; i <= kHelloCapacity; ++i) ASSERT_EQ(AddHello(i, ""), i);
  EXPECT_EQ(AddHello(7, "over"), 0);
  EXPECT_EQ(HelloCount, kHelloCapacity);
  EXPECT_EQ(HelloTable[kHelloCapacity].Condition, "");
}

TEST(RandomGenerator, DrawsTheHighBitsOfTheNextSeedTimesN) {
  SetRandomSeed(0);
  EXPECT_EQ(Random(10), 0);
  EXPECT_EQ(RandomSeed(), 1u);
  EXPECT_EQ(Random(1000), 31);
  EXPECT_EQ(RandomSeed(), 134775814u);
  SetRandomSeed(0xFFFFFFFFu);
  EXPECT_EQ(Random(100), 96);
  EXPECT_EQ(RandomSeed(), 4160191484u);
  SetRandomSeed(12345);
  EXPECT_EQ(Random(2147483647), 827533966);
  SetRandomSeed(86399999);
  EXPECT_EQ(Random(7), 5);
  SetRandomSeed(42);
  const int expected[] = {1, 5, 1, 0, 0};
  for (int value : expected) EXPECT_EQ(Random(6), value);
}

TEST(RandomGenerator, EmptyRangeGivesZeroAndStillAdvances) {
  SetRandomSeed(0);
  EXPECT_EQ(Random(0), 0);
  EXPECT_EQ(RandomSeed(), 1u);
  EXPECT_EQ(Random(-5), 0);
  EXPECT_EQ(RandomSeed(), 134775814u);
}

// Checked builds (GHOST_CHECKED non-zero: Debug and sanitizer builds) abort
// on a broken invariant, in the library's units as in their headers. Other
// builds skip this test, and run the next one instead.
TEST(Assertions, AbortInCheckedBuilds) {
  if (!kGhostChecked) GTEST_SKIP() << "assertions are compiled out in this build";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  int evaluated = 0;
  EXPECT_DEATH(GHOST_ASSERT(++evaluated < 0), "invariant broken: \\+\\+evaluated < 0");
  EXPECT_DEATH(FillSlot(WordIndex, 0, 1), "invariant broken");
  const TReferences references;
  EXPECT_DEATH((void)references[kReferenceCount], "invariant broken");
}

// Elsewhere an assertion's condition is not even evaluated.
TEST(Assertions, CompiledOutElsewhere) {
  if (kGhostChecked) GTEST_SKIP() << "assertions are on in this build";
  int evaluated = 0;
  GHOST_ASSERT(++evaluated < 0);
  EXPECT_EQ(evaluated, 0);
}
