// The dictionary store: reset state, status lines, counts by letter, the
// capacity refusals of the appending operations, and the random generator.
#include <gtest/gtest.h>

#include <string>

#include "nsdic_cache.h"
#include "nsdic_words.h"
#include "nsdic_links.h"
#include "nsdic.h"
#include "random.h"
#include "shiori.h"

namespace {

class Store : public ::testing::Test {
 protected:
  void SetUp() override { ResetModule(); }
};

}  // namespace

TEST_F(Store, ResetLeavesEverythingEmptyWithTheDefaultStatusLine) {
  RegisterWord("\\m", "word");
  AddSentence("talk", TSentenceKind::FreeTalk, 0);
  AddReply(1, "");
  StatusList[1] = "extra";
  StatusCount = 1;
  NSDeclare = AIStateComplex = true;
  OwnerName = "owner";
  CacheWord("\\m", "word", 0);
  ResetModule();
  EXPECT_EQ(WordCount + CategoryCount + SentenceCount + ReplyCount + StatusCount, 0);
  EXPECT_FALSE(NSDeclare);
  EXPECT_FALSE(AIStateComplex);
  EXPECT_EQ(OwnerName, "");
  EXPECT_EQ(StatusList[0], "100,100,100,100,100,100,100,50,50,100,100,50");
  EXPECT_EQ(StatusList[1], "");
  EXPECT_EQ(WordTable[1].Text, "");
  EXPECT_EQ(FindWord("word"), 0);
  EXPECT_EQ(CategoryMember("\\m", 0), 0);
  EXPECT_EQ(WordCacheEntry(1).Key, "");
  EXPECT_LT(RandomSeed(), 86400000u);  // milliseconds since midnight
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

TEST_F(Store, WeightIsHalfTheByteLengthPlusTen) {
  EXPECT_EQ(Weight(""), 10);
  EXPECT_EQ(Weight("a"), 10);
  EXPECT_EQ(Weight("abc"), 11);
  EXPECT_EQ(Weight(std::string(101, 'x')), 60);
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
