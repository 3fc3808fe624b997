// Assign, the %-names (user variables first, then the system names by
// prefix, with a fixed clock) and the %rand forms under a fixed seed.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "formula_search.h"
#include "formula_values.h"
#include "formula_vars.h"
#include "nsdic_words.h"
#include "random.h"
#include "shiori.h"
#include "strutl.h"

namespace {

class VariablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
    SetRandomSeed(20240301);
    const TClockReading sunday{2024, 3, 10, 9, 5, 7, 0};
    SetClockOverride(&sunday);
  }
  void TearDown() override {
    SetClockOverride(nullptr);
    ResetModule();
  }

  static std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
  }
  // A decimal from `low` to `high` written without a leading zero.
  static bool IsNumberIn(const std::string& text, long low, long high) {
    if (text.empty() || text.size() > 9 || (text[0] == '0' && text.size() > 1)) return false;
    for (char c : text) {
      if (c < '0' || c > '9') return false;
    }
    const long value = std::stol(text);
    return value >= low && value <= high;
  }

  static std::string Stored(const std::string& name) {
    const std::string* value = FindVariable(name);
    return value ? *value : "<absent>";
  }
};

TEST_F(VariablesTest, AssignStoresReplacesAndRemoves) {
  EXPECT_EQ(Assign("\\x", "5"), "5");
  EXPECT_EQ(ExpandPercentName(1, "%x"), "5");
  EXPECT_EQ(Assign("\\x", "1.2"), "1.2");
  EXPECT_EQ(Stored("\\x"), "1.2");
  EXPECT_EQ(Assign("\\x", "\"a b\""), "\"a b\"");
  EXPECT_EQ(Stored("\\x"), "\"a b\"");
  EXPECT_EQ(ExpandPercentName(4, "hi %x!"), "hi a b!");
  EXPECT_EQ(Assign("\\x", ""), "");
  EXPECT_EQ(Stored("\\x"), "<absent>");
  EXPECT_EQ(Assign("\\never", ""), "");
  EXPECT_EQ(VariableCount(), 0);
}

TEST_F(VariablesTest, AssignRejectsBadNames) {
  EXPECT_EQ(Assign("x", "5"), "#err");
  EXPECT_EQ(Assign("\\", "5"), "#err");
  EXPECT_EQ(Assign("", "5"), "#err");
  EXPECT_EQ(Assign("xy", "5"), "");
  EXPECT_EQ(VariableCount(), 0);
}

TEST_F(VariablesTest, AssignRunsWordMacrosAndBuiltins) {
  RegisterWord("\\greet", "hello %arg0%, %arg0%!");
  EXPECT_EQ(Assign("\\greet", "bob"), "hello bob, bob!");
  EXPECT_EQ(Stored("\\greet"), "hello bob, bob!");
  // A built-in's result is stored under its own name.
  EXPECT_EQ(Assign("\\_length", "\"abc\""), "3");
  EXPECT_EQ(ExpandPercentName(1, "%_length"), "3");
  // Dots outside quotes separate arguments; inside quotes they stay.
  EXPECT_EQ(Assign("\\_instr", "\"a.b\".\".\""), "2");
  EXPECT_EQ(Assign("\\_upcase", "A.B"), "A.B");
  // A word category of the built-in's name takes precedence.
  RegisterWord("\\_length", "macro");
  EXPECT_EQ(Assign("\\_length", "abc"), "macro");
}

TEST_F(VariablesTest, DotAfterLeadByteStaysInShiftJis) {
  EXPECT_EQ(Assign("\\_upcase", "\x81.a.b"), "\x81.A B");
  SetCharset("UTF-8");
  EXPECT_EQ(Assign("\\_upcase", "\x81.a.b"), "\x81 A B");
}

TEST_F(VariablesTest, FullStoreRefusesEverything) {
  for (int i = 0; i < kVariableCapacity - 1; ++i) {
    ASSERT_EQ(Assign("\\v" + std::to_string(i), "1"), "1");
  }
  EXPECT_EQ(Assign("\\last", "2"), "2");
  ASSERT_EQ(VariableCount(), kVariableCapacity);
  EXPECT_EQ(Assign("\\v1", "new"), "");
  EXPECT_EQ(Assign("\\v1", ""), "");
  EXPECT_EQ(Assign("\\_length", "abc"), "");
  EXPECT_EQ(Stored("\\v1"), "1");
  EXPECT_EQ(Stored("\\_length"), "<absent>");
}

TEST_F(VariablesTest, PercentNamesMatchByPrefixInOrder) {
  Assign("\\a", "1");
  Assign("\\ab", "2");
  EXPECT_EQ(ExpandPercentName(1, "%ab"), "2");
  EXPECT_EQ(ExpandPercentName(1, "%ac"), "1c");
  CurrentTalk.References[1] = "R1";
  CurrentTalk.EventName = "OnBoot";
  CurrentTalk.Sender = "\"Bob\"";
  EXPECT_EQ(ExpandPercentName(1, "%ref10"), "R10");
  EXPECT_EQ(ExpandPercentName(1, "%event!"), "OnBoot!");
  EXPECT_EQ(ExpandPercentName(1, "%eventcount"), "0");
  EXPECT_EQ(ExpandPercentName(1, "%sender"), "Bob");
  // A user variable hides the system name, also inside longer names.
  Assign("\\event", "E");
  EXPECT_EQ(ExpandPercentName(1, "%event"), "E");
  EXPECT_EQ(ExpandPercentName(1, "%eventcount"), "Ecount");
  EXPECT_EQ(ExpandPercentName(1, "%nosuch"), "%nosuch");
  EXPECT_EQ(ExpandPercentName(2, "a%"), "a%");
}

TEST_F(VariablesTest, CountsAndTalkContext) {
  RegisterWord("\\fruit", "apple");
  RegisterWord("\\fruit", "pear");
  RegisterWord("\\veg", "leek");
  EXPECT_EQ(ExpandPercentName(1, "%wordcount"), "3");
  EXPECT_EQ(ExpandPercentName(1, "%tagscount"), "2");
  CurrentTalk.IncomingSentence = "hi there";
  CurrentTalk.Age = "4";
  EXPECT_EQ(ExpandPercentName(3, "[ %sentence ]"), "[ hi there ]");
  EXPECT_EQ(ExpandPercentName(1, "%age"), "4");
}

TEST_F(VariablesTest, ClockNames) {
  EXPECT_EQ(ExpandPercentName(1, "%year/%month"), "2024/%month");
  EXPECT_EQ(ExpandPercentName(1, "%month"), "3");
  EXPECT_EQ(ExpandPercentName(1, "%week"), "sun");
  EXPECT_EQ(ExpandPercentName(1, "%dayx"), "10x");
  EXPECT_EQ(ExpandPercentName(1, "%hour"), "9");
  EXPECT_EQ(ExpandPercentName(1, "%minute"), "5");
  EXPECT_EQ(ExpandPercentName(1, "%second"), "7");
  const TClockReading saturday{2024, 3, 16, 23, 59, 0, 6};
  SetClockOverride(&saturday);
  EXPECT_EQ(ExpandPercentName(1, "%week"), "sat");
  EXPECT_EQ(ExpandPercentName(1, "%second"), "0");
}

TEST_F(VariablesTest, RandDigitsShareOneNumberPerName) {
  // "%rand31" is the number of "%rand3" followed by "1"; "%rand32" is a name
  // of its own and waits for its turn.
  const auto out = Words(ExpandPercentName(1, "%rand3 %rand3 %rand32 %rand31 "));
  ASSERT_EQ(out.size(), 4u);
  EXPECT_TRUE(IsNumberIn(out[0], 100, 999)) << out[0];
  EXPECT_EQ(out[1], out[0]);
  EXPECT_EQ(out[2], "%rand32");
  EXPECT_EQ(out[3], out[0] + "1");
  const auto tagged = Words(ExpandRand(1, "%rand32 %rand33 %rand32 "));
  ASSERT_EQ(tagged.size(), 3u);
  EXPECT_TRUE(IsNumberIn(tagged[0], 100, 999)) << tagged[0];
  EXPECT_EQ(tagged[1], "%rand33");
  EXPECT_EQ(tagged[2], tagged[0]);
  // The same seed gives the same number.
  SetRandomSeed(7);
  const std::string first = ExpandRand(1, "%rand9 ");
  SetRandomSeed(7);
  EXPECT_EQ(ExpandRand(1, "%rand9 "), first);
  EXPECT_TRUE(IsNumberIn(TrimBlanks(first), 100000000, 999999999)) << first;
}

TEST_F(VariablesTest, RandFormsThatStayOrShrink) {
  EXPECT_EQ(ExpandRand(1, "%rand3"), "%rand3");
  EXPECT_EQ(ExpandRand(1, "%rand0 "), "%rand0 ");
  EXPECT_EQ(ExpandRand(1, "%randx "), "%randx ");
  EXPECT_EQ(ExpandRand(1, "%rand[x] "), "%rand[x] ");
  EXPECT_EQ(ExpandRand(1, "%rand[6 "), "rand[6 ");
  EXPECT_EQ(ExpandRand(2, "x%rand "), "x%rand ");
}

TEST_F(VariablesTest, RandWithBound) {
  for (int i = 0; i < 50; ++i) {
    const auto out = Words(ExpandRand(3, "a %rand[6] b"));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_TRUE(IsNumberIn(out[1], 0, 5)) << out[1];
  }
  const auto tagged = Words(ExpandRand(1, "%rand[100]2 %rand[100] %rand[100]2 "));
  ASSERT_EQ(tagged.size(), 3u);
  EXPECT_TRUE(IsNumberIn(tagged[0], 0, 99)) << tagged[0];
  EXPECT_EQ(tagged[1], "%rand[100]");
  EXPECT_EQ(tagged[2], tagged[0]);
  EXPECT_EQ(ExpandRand(1, "%rand[1]1 "), "01 ");
  // A bound of 0 or less gives "0" and still draws once.
  for (const char* form : {"%rand[0] ", "%rand[-3] "}) {
    const uint32_t before = RandomSeed();
    EXPECT_EQ(ExpandRand(1, form), "0 ");
    EXPECT_NE(RandomSeed(), before);
  }
}

}  // namespace
