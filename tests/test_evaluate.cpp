// The expression evaluator: operator order, arithmetic, text operators,
// groups, the bare-word rule and the limits that turn a runaway into "#err".
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include <string>
#include <utility>
#include <vector>

#include "fileutl.h"
#include "formula.h"
#include "formula_builtin.h"
#include "formula_memo.h"
#include "formula_values.h"
#include "formula_vars.h"
#include "nsdic_words.h"
#include "shiori.h"

#include "scratch_dir.h"

namespace {

class EvaluateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
  }
  void TearDown() override { ResetModule(); }

  static void ExpectAll(const std::vector<std::pair<std::string, std::string>>& cases) {
    for (const auto& [formula, result] : cases) {
      EXPECT_EQ(Evaluate(formula), result) << "formula: " << formula;
    }
  }
};

TEST_F(EvaluateTest, OperatorOrderAndGrouping) {
  ExpectAll({{"1 + 2 * 3", "7"},     {"(1 + 2) * 3", "9"}, {"7 - 2 - 1", "4"},
             {"10 % 4 * 2", "2"},    {"7 %3", "7 %3"},     {"12 / 2 / 3", "2"},
             {"1 + 1 ; 5 * 2", "10"}, {"", ""},            {"  42  ", "42"}});
}

TEST_F(EvaluateTest, SignsAndDivision) {
  ExpectAll({{"7 / 0", "#div0!"},   {"7 % 0", "#div0!"},  {"\"-7\" / 2", "-3"},
             {"\"-7\" % 3", "-1"},  {"7 % -3", "4"},       {"3 - 8", "-5"},
             {"-5", "-5"},          {"+5", "5"},           {"2 * -3", "-3"},
             {"-05", "-5"},         {"1 + (7 / 0)", "1"}});
}

TEST_F(EvaluateTest, ThirtyTwoBitWrapAround) {
  ExpectAll({{"2147483647 + 1", "-2147483648"},
             {"2147483647 * 2", "-2"},
             {"65536 * 65536", "0"},
             {"0 - 2147483647 - 2", "2147483647"},
             {"\"-2147483648\" / \"-1\"", "-2147483648"},
             {"\"-2147483648\" % \"-1\"", "0"}});
}

TEST_F(EvaluateTest, TextAndLogicOperators) {
  ExpectAll({{"\"ab\" + \"cd\"", "\"abcd\""}, {"ab + \"cd\"", "abcd"},  {"05 = 5", "0"},
             {"05 >= 5", "1"},                {"\"x\" = x", "1"},       {"1 <> 2", "1"},
             {"\"a\" <> a", "0"},             {"2 & 1", "0"},           {"3 & 1", "1"},
             {"0 | 0", "0"},                  {"0 | 2", "1"},           {"3 < 10", "1"},
             // The second ">=" is cut into ">" and "=": 0 > ("" = "0"), then >= 1.
             {"0 >= 0 >= 1", "0"}});
}

// Each comparison with operands that make it true, false and equal, so that
// any comparison swapped for its neighbour ("<" for "<=", ">=" for ">")
// changes a result. Order is numeric ("9 < 10"), equality textual ("05 = 5").
TEST_F(EvaluateTest, ComparisonsOnLowerHigherAndEqualOperands) {
  ExpectAll({{"1 < 2", "1"},  {"2 < 1", "0"},  {"2 < 2", "0"},
             {"1 <= 2", "1"}, {"2 <= 1", "0"}, {"2 <= 2", "1"},
             {"2 > 1", "1"},  {"1 > 2", "0"},  {"2 > 2", "0"},
             {"2 >= 1", "1"}, {"1 >= 2", "0"}, {"2 >= 2", "1"},
             {"1 = 2", "0"},  {"2 = 2", "1"},  {"05 = 5", "0"},
             {"1 <> 2", "1"}, {"2 <> 2", "0"}, {"05 <> 5", "1"},
             {"9 < 10", "1"}, {"10 <= 9", "0"}, {"\"-3\" < 2", "1"}, {"\"-3\" >= 2", "0"}});
}

TEST_F(EvaluateTest, ConditionalAndSequence) {
  ExpectAll({{"1 ? \"yes\" : \"no\"", "\"yes\""}, {"0 ? a : b", "b"}, {"1 ? a", "a"},
             {"0 ? a", ""},                     {"a ; b", "b"}});
  EXPECT_EQ(Evaluate("\\x := 1 ; \\y := 2"), "2");
  ASSERT_NE(FindVariable("\\x"), nullptr);
  EXPECT_EQ(*FindVariable("\\x"), "1");
  EXPECT_EQ(*FindVariable("\\y"), "2");
  EXPECT_EQ(Evaluate("\\z := 2 + 3 ; %z"), "%z");  // %-names are the caller's job
  EXPECT_EQ(*FindVariable("\\z"), "5");
}

TEST_F(EvaluateTest, Groups) {
  ExpectAll({{"(1 + 2", "3"}, {"()", ""}, {"(1)+(1)", "2"}, {"\"(1)\" + (1)", "\"11\""},
             {"((2 + 3) * (1 + 1))", "10"}, {"1 + 2)", "3"}});
}

TEST_F(EvaluateTest, ValuesAreReadAgainAsFormulas) {
  // The word macro's result "4+4" is split again after the assignment.
  RegisterWord("\\twice", "%arg0%+%arg0%");
  EXPECT_EQ(Evaluate("\\twice := 4"), "8");
  EXPECT_EQ(*FindVariable("\\twice"), "4+4");
  RegisterWord("\\mul", "2*%arg0%");
  EXPECT_EQ(Evaluate("(\\mul := 3) + 1"), "7");
}

TEST_F(EvaluateTest, BareWordsFoundInTheTalk) {
  CurrentTalk.IncomingSentence = "good morning";
  ExpectAll({{"morning", "1"},       {"evening", "evening"}, {"morning = 1", "1"},
             {"\"morning\"", "\"morning\""}, {"", ""},       {"()", ""},
             {"0 ? a", ""}});
  CurrentTalk.IncomingSentence.clear();
  CurrentTalk.References[1] = "apple pie";
  // References count only for the final value, never for an operand.
  ExpectAll({{"apple", "1"}, {"pie", "1"}, {"apple = 1", "0"}, {"\"\"", "\"\""}, {"", ""}});
}

TEST_F(EvaluateTest, LongChainsStopWithErrorInsteadOfOverflowing) {
  std::string chain = "1";
  for (int i = 0; i < 170; ++i) chain += "+1";
  EXPECT_EQ(Evaluate(chain), "171");  // 510 stack entries
  chain += "+1";
  EXPECT_EQ(Evaluate(chain), "#err");  // 513 entries needed
  std::string long_chain = "1";
  for (int i = 0; i < 600; ++i) long_chain += (i % 3 == 0) ? " * 1" : " + 1";
  EXPECT_EQ(Evaluate(long_chain), "#err");
  EXPECT_EQ(Evaluate("1 + 1"), "2");  // the stack is usable again

  const std::string nested = std::string(600, '(') + "5" + std::string(600, ')');
  EXPECT_EQ(Evaluate(nested), "5");
}

TEST_F(EvaluateTest, OutgrownWorkTextGivesError) {
  RegisterWord("\\big", std::string(100000, 'a'));
  EXPECT_EQ(Evaluate("(\\big := 1) + 1").size(), 100001u);
  // Every copy of the group takes the 100,000-byte value: past 1 MiB.
  std::string copies = "(\\big := 1)";
  for (int i = 0; i < 10; ++i) copies += " + (\\big := 1)";
  EXPECT_EQ(Evaluate(copies), "#err");
  EXPECT_EQ(Evaluate("\"" + std::string(kTextLimit, 'b') + "\""), "#err");
}

TEST_F(EvaluateTest, DeepNestingStopsAtTheWorkLimit) {
  // Each pass peels one group and rescans the whole text: 100,000 levels
  // would scan about 10^10 bytes.
  const std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
  EXPECT_EQ(Evaluate(deep), "#err");
  EXPECT_EQ(Evaluate(std::string(600, '(') + "2" + std::string(600, ')')), "2");
}

TEST_F(EvaluateTest, LongChainOverALargeOperandStopsAtTheWorkLimit) {
  // Each pass searches the 200 KB text once for every operator it holds.
  std::string formula(200000, 'a');
  for (int i = 0; i < 200; ++i) formula += " * 1";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Evaluate(formula), "#err");
  const auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(spent).count(), 20);
}

TEST_F(EvaluateTest, SelfReproducingValueStopsAfterThePassLimit) {
  const ScratchDir dir;
  SetBaseDirectory(dir.path());
  // A saved value that loads itself again at every pass.
  ASSERT_EQ(CallBuiltin("_save", "loop \\_load := loop"), "\\_load := loop");
  EXPECT_EQ(Evaluate("\\_load := loop"), "#err");
}

}  // namespace

// Remembered evaluations against evaluating every time, on random formulas
// (bare words the references or the sentence may hold, assignments) while
// the references and the sentence change: the values and the variables
// after each call must agree.
TEST(EvaluateRemembered, GivesWhatEvaluateGivesAsTheContextChanges) {
  ResetModule();
  std::mt19937 rng(31);
  auto pick = [&](std::initializer_list<const char*> from) {
    return std::string(from.begin()[rng() % from.size()]);
  };
  for (int round = 0; round < 4000; ++round) {
    if (rng() % 3 == 0) CurrentTalk.References[rng() % 3] = pick({"0", "head", "7", "", "a b"});
    if (rng() % 5 == 0) CurrentTalk.IncomingSentence = pick({"", "head on", "7"});
    std::string formula;
    for (int n = 1 + static_cast<int>(rng() % 3); n > 0; --n) {
      formula += pick({"head", "7", "(1 + 2)", "\"a\"", "a b", "\\v := 3", "0"});
      if (n > 1) formula += pick({" = ", " + ", " & ", " * ", " <> "});
    }
    const auto before = ListVariables();
    const std::string remembered = EvaluateRemembered(formula);
    const auto after = ListVariables();
    ResetVariables();
    for (auto v = before.rbegin(); v != before.rend(); ++v) PutVariable(v->first, v->second);
    ASSERT_EQ(remembered, Evaluate(formula)) << "round " << round << ": " << formula;
    ASSERT_EQ(after, ListVariables()) << formula;
  }
  ResetModule();
}
