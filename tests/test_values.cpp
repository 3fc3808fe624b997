// Formula values (quoting, integer reading) and the variable store with the
// reading of %-forms.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <random>
#include <string>

#include "formula_values.h"
#include "shiori.h"

namespace {

class Variables : public ::testing::Test {
 protected:
  void SetUp() override { ResetModule(); }
  void TearDown() override { ResetModule(); }
};

// The plain walk over every pair in store order, to hold the expansion to.
std::string ExpandByWalk(int position, std::string text) {
  for (const auto& [name, value] : ListVariables()) {
    if (!ReplaceNameAt(position, text, "%" + name.substr(1), value)) break;
  }
  return text;
}

}  // namespace

TEST(Values, QuotesComeOffOnePair) {
  EXPECT_TRUE(IsQuoted("\"a\""));
  EXPECT_TRUE(IsQuoted("\"\""));
  EXPECT_FALSE(IsQuoted("\""));
  EXPECT_FALSE(IsQuoted("\"a"));
  EXPECT_EQ(Unquote("\"abc\""), "abc");
  EXPECT_EQ(Unquote("\"\"x\"\""), "\"x\"");
  EXPECT_EQ(Unquote("\""), "");
  EXPECT_EQ(Unquote("\"\""), "");
  EXPECT_EQ(Unquote("\"abc"), "\"abc");
  EXPECT_EQ(Unquote("abc\""), "abc\"");
  EXPECT_EQ(Unquote(""), "");
}

TEST(Values, ToIntReadsTheLeadingInteger) {
  EXPECT_EQ(ToInt("$1F"), 31);
  EXPECT_EQ(ToInt("0x1F"), 31);
  EXPECT_EQ(ToInt("X1f"), 31);
  EXPECT_EQ(ToInt("-$10"), -16);
  EXPECT_EQ(ToInt("-12abc"), -12);
  EXPECT_EQ(ToInt("+7"), 7);
  EXPECT_EQ(ToInt("  42"), 42);
  EXPECT_EQ(ToInt("\"15\""), 15);
  EXPECT_EQ(ToInt(""), 0);
  EXPECT_EQ(ToInt("abc"), 0);
  EXPECT_EQ(ToInt("0x"), 0);
  EXPECT_EQ(ToInt("09"), 9);
}

TEST(Values, ToIntStopsBeforeOverflow) {
  EXPECT_EQ(ToInt("2147483647"), INT_MAX);
  EXPECT_EQ(ToInt("2147483648"), 214748364);
  EXPECT_EQ(ToInt("-2147483648"), INT_MIN);
  EXPECT_EQ(ToInt("-2147483649"), -214748364);
  EXPECT_EQ(ToInt("99999999999"), 999999999);
  EXPECT_EQ(ToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(ToInt("$80000000"), INT_MIN);
  EXPECT_EQ(ToInt("$123456789"), 0x12345678);
}

TEST(Values, WholeIntegerNeedsEveryByte) {
  EXPECT_TRUE(IsWholeInteger("-12"));
  EXPECT_TRUE(IsWholeInteger("-2147483648"));
  EXPECT_TRUE(IsWholeInteger("2147483647"));
  EXPECT_TRUE(IsWholeInteger("$FFFFFFFF"));
  EXPECT_TRUE(IsWholeInteger(" 5"));
  EXPECT_FALSE(IsWholeInteger(" 5 "));
  EXPECT_FALSE(IsWholeInteger("12abc"));
  EXPECT_FALSE(IsWholeInteger("2147483648"));
  EXPECT_FALSE(IsWholeInteger("$100000000"));
  EXPECT_FALSE(IsWholeInteger(""));
  EXPECT_FALSE(IsWholeInteger("-"));
  EXPECT_FALSE(IsWholeInteger("$"));
  EXPECT_FALSE(IsWholeInteger("\"5\""));  // quotes are not removed here
}

TEST(Values, ReplaceNameAtNeedsOnlyAPrefix) {
  std::string text = "a%xyz";
  EXPECT_FALSE(ReplaceNameAt(2, text, "%xy", "\"Q\""));
  EXPECT_EQ(text, "aQz");
  text = "%x";
  EXPECT_TRUE(ReplaceNameAt(1, text, "%x", "%y"));
  EXPECT_EQ(text, "%y");
  text = "%x";
  EXPECT_TRUE(ReplaceNameAt(1, text, "%xyz", "1"));  // runs past the end: no change
  EXPECT_EQ(text, "%x");
  EXPECT_FALSE(ReplaceNameAt(1, text, "%x", "\"\""));
  EXPECT_EQ(text, "");
  EXPECT_FALSE(ReplaceNameAt(0, text, "%x", "1"));
}

TEST_F(Variables, StoreOrderAfterPutsAndRemoves) {
  PutVariable("\\ab", "1");
  PutVariable("\\c", "2");
  PutVariable("\\de", "3");
  PutVariable("\\ab", "4");
  PutVariable("x", "ignored");
  PutVariable("\\", "ignored");
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(ListVariables(), (Pairs{{"\\de", "3"}, {"\\ab", "4"}, {"\\c", "2"}}));
  RemoveVariable("\\ab");
  EXPECT_EQ(ListVariables(), (Pairs{{"\\de", "3"}, {"\\c", "2"}}));
  EXPECT_EQ(VariableCount(), 2);
  ASSERT_NE(FindVariable("\\c"), nullptr);
  EXPECT_EQ(*FindVariable("\\c"), "2");
  EXPECT_EQ(FindVariable("\\ab"), nullptr);
  ResetModule();
  EXPECT_EQ(VariableCount(), 0);
}

TEST_F(Variables, LongestNameWins) {
  PutVariable("\\a", "1");
  PutVariable("\\ab", "2");
  EXPECT_EQ(ExpandUserVariable(1, "%ab"), "2");
  EXPECT_EQ(ExpandUserVariable(1, "%ac"), "1c");
  EXPECT_EQ(ExpandUserVariable(2, "x%abc"), "x2c");
  EXPECT_EQ(ExpandUserVariable(1, "%b"), "%b");
  EXPECT_EQ(ExpandUserVariable(1, "a%b"), "a%b");
  EXPECT_EQ(ExpandUserVariable(4, "%ab"), "%ab");
  PutVariable("\\q", "\"quoted\"");
  EXPECT_EQ(ExpandUserVariable(1, "%q!"), "quoted!");
}

TEST_F(Variables, ValueStartingWithAPercentFormContinuesTheWalk) {
  // Only names later in store order are tried on the replaced text.
  PutVariable("\\b", "B");
  PutVariable("\\long", "%b");
  EXPECT_EQ(ExpandUserVariable(1, "%long"), "B");
  PutVariable("\\x", "%b");  // \x now stands before \b
  EXPECT_EQ(ExpandUserVariable(1, "%x"), "B");
  PutVariable("\\z", "%y");
  PutVariable("\\y", "Y");  // \y stands before \z: passed already
  EXPECT_EQ(ExpandUserVariable(1, "%z"), "%y");
  PutVariable("\\e", "\"\"");  // an empty insertion leaves what follows
  EXPECT_EQ(ExpandUserVariable(1, "%e%b"), "B");
}

TEST_F(Variables, ExpansionEqualsTheOrderedWalk) {
  std::mt19937 gen(7);
  const std::string alphabet = "ab%";
  auto word = [&](int maxLen) {
    std::string w;
    const int len = 1 + static_cast<int>(gen() % maxLen);
    for (int i = 0; i < len; ++i) w += alphabet[gen() % alphabet.size()];
    return w;
  };
  for (int round = 0; round < 200; ++round) {
    ResetModule();
    for (int i = 0; i < 12; ++i) PutVariable("\\" + word(3), word(4));
    if (round % 3 == 0) RemoveVariable("\\" + word(3));
    const std::string text = "%" + word(5);
    ASSERT_EQ(ExpandUserVariable(1, text), ExpandByWalk(1, text)) << "text " << text;
  }
}

TEST_F(Variables, ExpansionDoesNotWalkAFullStore) {
  for (int i = 0; i < kVariableCapacity; ++i) PutVariable("\\v" + std::to_string(i), "x");
  const auto start = std::chrono::steady_clock::now();
  std::string last;
  for (int i = 0; i < 2000; ++i) last = ExpandUserVariable(1, "%v7 and more");
  PutVariable("\\v7", "y");
  RemoveVariable("\\v8000");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(last, "x and more");
  EXPECT_EQ(ExpandUserVariable(1, "%v7"), "y");
  // A walk over all pairs would take seconds for 2000 calls in a debug build.
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 500);
}
