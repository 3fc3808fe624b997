// Sentence expansion over small dictionaries put straight into the store:
// tags and the word cache, numbered tags, "%m?", formulas, markers, the
// runaway guards, and the entry points built on the expander.
#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <ctime>
#include <random>
#include <set>
#include <string>

#include "formula_search.h"
#include "formula_values.h"
#include "formula_vars.h"
#include "nsdic.h"
#include "nsdic_cache.h"
#include "nsdic_condition.h"
#include "nsdic_expand.h"
#include "nsdic_links.h"
#include "nsdic_words.h"
#include "random.h"
#include "shiori.h"

namespace {

const std::set<std::string> kFruit = {"apple", "berry", "cherry", "damson", "elder"};

class Expand : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
    SetRandomSeed(12345);
  }
  static void Fruit() {
    for (const std::string& w : kFruit) RegisterWord("\\ms[a]", w);
  }
};

// Runs `job` on a thread with a stack of `bytes`.
void RunOnStack(std::size_t bytes, void (*job)()) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, bytes);
  pthread_t thread;
  auto trampoline = [](void* p) -> void* {
    reinterpret_cast<void (*)()>(p)();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, trampoline, reinterpret_cast<void*>(job)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

}  // namespace

TEST_F(Expand, TextsWithoutFormsAndLonePercents) {
  EXPECT_EQ(ExpandTalk("plain talk\\e"), "plain talk\\e");
  EXPECT_EQ(ExpandTalk("ends in %"), "ends in %");
  EXPECT_EQ(ExpandTalk("50% off, 20 %"), "50% off, 20 %");
  EXPECT_EQ(ExpandTalk("%unknownname"), "%unknownname");
  EXPECT_EQ(ExpandTalk(""), "");
}

TEST_F(Expand, SameTagGivesOneWordPerTalk) {
  Fruit();
  std::set<std::string> seen;
  for (int i = 0; i < 60; ++i) {
    const std::string out = ExpandTalk("%ms[a]=%ms[a]");
    const auto eq = out.find('=');
    ASSERT_NE(eq, std::string::npos);
    const std::string first = out.substr(0, eq);
    EXPECT_EQ(out.substr(eq + 1), first);
    EXPECT_TRUE(kFruit.count(first)) << out;
    seen.insert(first);
  }
  EXPECT_GT(seen.size(), 1u);  // each talk starts with an empty cache
}

TEST_F(Expand, NumberedAndPlainTagsAreCachedApart) {
  Fruit();
  const std::string out = ExpandTalk("%ms[a]2/%ms[a]/%ms[a]2/%ms[a]");
  ASSERT_EQ(WordCacheCount, 2);
  const TWordCache& numbered = WordCacheEntry(1);  // longest key first
  const TWordCache& plain = WordCacheEntry(2);
  EXPECT_EQ(numbered.Key, "%ms[a]2");
  EXPECT_EQ(numbered.Digit, '2');
  EXPECT_EQ(plain.Key, "%ms[a]");
  EXPECT_EQ(plain.Digit, 0);
  EXPECT_EQ(out, numbered.Value + "/" + plain.Value + "/" + numbered.Value + "/" +
                     plain.Value);
  EXPECT_TRUE(kFruit.count(numbered.Value));
  EXPECT_TRUE(kFruit.count(plain.Value));
}

TEST_F(Expand, DigitOneIsNotATagNumber) {
  RegisterWord("\\ms[a]", "apple");
  EXPECT_EQ(ExpandTalk("%ms[a]1"), "apple1");
  EXPECT_EQ(ExpandTalk("%ms[a]0 %ms[a]"), "apple0 apple");
  EXPECT_EQ(WordCacheEntry(1).Key, "%ms[a]");
}

TEST_F(Expand, LongestCategoryWins) {
  RegisterWord("\\ms", "short");
  RegisterWord("\\ms[a]", "long");
  EXPECT_EQ(ExpandTalk("%ms[a]"), "long");
  EXPECT_EQ(ExpandTalk("%ms"), "short");
  EXPECT_EQ(ExpandTalk("%ms[b]"), "short[b]");
  EXPECT_EQ(ExpandTalk("%ms[a]%ms"), "longshort");
}

TEST_F(Expand, RandomMWordAnywhereIncludingTheEnd) {
  RegisterWord("\\mx", "owl");
  RegisterWord("\\zz", "never");
  EXPECT_EQ(ExpandTalk("a %m?"), "a owl");
  EXPECT_EQ(WordCacheEntry(1).Key, "%m?");
  EXPECT_EQ(ExpandTalk("%m?2-%m?"), "owl-owl");
  EXPECT_EQ(WordCacheEntry(1).Key, "%m?2");
  EXPECT_EQ(ExpandTalk("%m"), "%m");
}

TEST_F(Expand, LinkedWordFollowsThePreviousWord) {
  const int cat = RegisterWord("\\pet", "cat");
  const int fish = RegisterWord("\\food", "fish");
  RegisterWord("\\food", "bone");
  RegisterWord("\\food", "rice");
  RegisterLink("cat", cat, fish);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ExpandTalk("%pet eats %food"), "cat eats fish");
}

// A link counts from the word's text, whichever record drew it, and a link
// added after a talk found none is followed by the next talk.
TEST_F(Expand, LinkAddedLaterOrFromTheSameTextIsFollowed) {
  RegisterWord("\\pet", "cat");
  const int wild = RegisterWord("\\wild", "cat");
  const int fish = RegisterWord("\\food", "fish");
  RegisterWord("\\food", "bone");
  RegisterWord("\\food", "rice");
  std::set<std::string> before;
  for (int i = 0; i < 40; ++i) before.insert(ExpandTalk("%pet eats %food"));
  EXPECT_GT(before.size(), 1u);
  RegisterLink("cat", wild, fish);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ExpandTalk("%pet eats %food"), "cat eats fish");
}

TEST_F(Expand, Formulas) {
  EXPECT_EQ(ExpandTalk("<%(1+2)>"), "<3>");
  EXPECT_EQ(ExpandTalk("a%(b"), "ab");
  EXPECT_EQ(ExpandTalk("ab%("), "ab");
  EXPECT_EQ(ExpandTalk("%((1))!"), "1!");
  EXPECT_EQ(ExpandTalk("[%(\"x y\")]"), "[x y]");  // value unquoted
  EXPECT_EQ(ExpandTalk("%(\\y := 3)%y"), "33");
  EXPECT_EQ(ExpandFormulaAt(2, "a%(2*4)b"), "a8b");
  EXPECT_EQ(ExpandFormulaAt(1, "a%(2*4)b"), "a%(2*4)b");  // no "%(" there
}

TEST_F(Expand, TagInsideFormulaIsCachedForLaterTags) {
  Fruit();
  for (int i = 0; i < 10; ++i) {
    const std::string out = ExpandTalk("%(%ms[a])-%ms[a]");
    const auto dash = out.find('-');
    ASSERT_NE(dash, std::string::npos);
    EXPECT_TRUE(kFruit.count(out.substr(0, dash))) << out;
    EXPECT_EQ(out.substr(dash + 1), out.substr(0, dash));
  }
}

TEST_F(Expand, MarkerBytes) {
  EXPECT_EQ(ExpandTalk("a\x03" "b"), "a%b");
  EXPECT_EQ(ExpandTalk("\x02 plain"), "\x02 plain");
  RegisterWord("\\ms", "w");
  EXPECT_EQ(ExpandTalk("\x02 %ms"), "% w");
}

TEST_F(Expand, PercentInsideDoubleByteCharacterIsNotAForm) {
  RegisterWord("\\ms", "w");
  // 0x81 0x25 is one Shift_JIS character whose second byte is "%".
  EXPECT_EQ(ExpandTalk("\x81%ms"), "\x81%ms");
  EXPECT_EQ(ExpandTalk("\x81%%ms"), "\x81%w");
  // The same after a tag was put in: the "%" behind a lead byte stays text,
  // the one behind a whole double-byte character is a form.
  EXPECT_EQ(ExpandTalk("%ms\x81%ms2"), "w\x81%ms2");
  EXPECT_EQ(ExpandTalk("%ms\x81\x81%ms2"), "w\x81\x81w");
  // Bytes that may lead a character pair off behind the last that cannot.
  EXPECT_EQ(ExpandTalk("%msa\x81\x81\x81%ms2"), "wa\x81\x81\x81%ms2");
  EXPECT_EQ(ExpandTalk("%ms\x81\x81\x81\x81%ms2"), "w\x81\x81\x81\x81w");
}

TEST(ReplaceUnnumbered, KeepsNumberedOccurrences) {
  EXPECT_EQ(ReplaceUnnumbered("%a %a2 %a", "%a", "X"), "X %a2 X");
  EXPECT_EQ(ReplaceUnnumbered("%a%a9", "%a", ""), "%a9");
  EXPECT_EQ(ReplaceUnnumbered("none", "%a", "X"), "none");
  EXPECT_EQ(ReplaceUnnumbered("\x02%a", "%a", "X"), "%X");
}

TEST(ReplaceUnnumbered, WordHoldingItsOwnTagDoesNotLoop) {
  EXPECT_EQ(ReplaceUnnumbered("%x-%x", "%x", "%x%x"), "%x%x-%x%x");
  EXPECT_EQ(ReplaceUnnumbered("%x", "%x", "%x2"), "%x2");
}

TEST_F(Expand, WordHoldingItsOwnTagStopsAtTheSizeCap) {
  RegisterWord("\\x", "%x%x");
  const std::string out = ExpandTalk("%x");
  EXPECT_EQ(out.size(), 1048576u);  // 2^20: one more doubling would pass the cap
  EXPECT_EQ(out.substr(0, 6), "%x%x%x");
}

TEST_F(Expand, CategoryWhoseTagIsAPercentSignStopsAtTheSizeCap) {
  RegisterWord("\\", "%%%");
  const std::string out = ExpandTalk("%");
  EXPECT_EQ(out, std::string(531441, '%'));  // 3^12; 3^13 is past 1 MiB
}

TEST_F(Expand, FormulaOpeningItsOwnTagIsBounded) {
  RegisterWord("\\m", "%(%m)%(%m)");
  const auto start = std::chrono::steady_clock::now();
  const std::string out = ExpandTalk("%m");
  const auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_LE(out.size(), 1048576u);
  EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(spent).count(), 20);
}

TEST_F(Expand, FormulasNestSixtyFourLevels) {
  Assign("\\v", "7");
  EXPECT_EQ(ExpandTalk(Repeat("%(", 64) + "%v = 7" + Repeat(")", 64)), "1");
  // One level more: the innermost text is evaluated unexpanded.
  EXPECT_EQ(ExpandTalk(Repeat("%(", 65) + "%v = 7" + Repeat(")", 65)), "0");
}

// Nothing recurses per nesting level: 2,000 closed levels would need far
// more than 256 KiB if each level took a few stack frames.
TEST_F(Expand, DeepNestingOnASmallStack) {
  static std::string closed, open_only;
  closed = Repeat("%(", 2000) + "1" + Repeat(")", 2000);
  open_only = "x" + Repeat("%(", 100000);
  RunOnStack(256 << 10, [] { closed = ExpandTalk(closed); });
  RunOnStack(1 << 20, [] { open_only = ExpandTalk(open_only); });
  EXPECT_LT(closed.size(), 4000u);
  // Each pass of the top level drops one unterminated "%(", until the
  // expansion has swept its budget of bytes (a few hundred passes over a
  // 200 KB text, fewer than the 1,000 passes a template may run).
  const std::size_t left = (open_only.size() - 1) / 2;
  EXPECT_EQ(open_only, "x" + Repeat("%(", left));
  EXPECT_GE(left, 99000u);
  EXPECT_LT(left, 100000u);
}

// 100,000 closed levels: the stack holds, and the formula left over below
// the depth limit ends in the evaluator's work limit instead of costing its
// length once per bracket.
TEST_F(Expand, HundredThousandClosedLevelsFinishQuickly) {
  static std::string deep;
  deep = Repeat("%(", 100000) + "1" + Repeat(")", 100000);
  const auto start = std::chrono::steady_clock::now();
  RunOnStack(1 << 20, [] { deep = ExpandTalk(deep); });
  const auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(deep, "#err");
  EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(spent).count(), 20);
}

// A word that puts its own tag back at the end of a large talk: every pass
// sweeps the whole text, so the sweep budget, not the pass budget, ends it.
TEST_F(Expand, SelfFeedingTagOverALargeTalkStopsWithinItsSweepBudget) {
  RegisterWord("\\n", "a%n");
  const std::string talk = std::string(500000, 'x') + "%n";
  // CPU time, not wall time: the bound is on the work, which other
  // processes on a shared machine do not change.
  const std::clock_t start = std::clock();
  const std::string out = ExpandTalk(talk);
  const double spent = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  EXPECT_LT(spent, 10.0);
  EXPECT_GT(out.size(), talk.size());
  EXPECT_LT(out.size(), talk.size() + 1000);
}

TEST_F(Expand, DmsWordComesFromTheLatestTalk) {
  EXPECT_EQ(ExpandDms(), "%dms");
  RegisterWord("\\dms", "one");
  RegisterWord("\\dms", "two");
  RegisterWord("\\dms", "three");
  const std::string chosen = ExpandTalk("%dms");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ExpandDms(), chosen);
}

TEST_F(Expand, CachedWordOutlivesWordsTheTalkRegisters) {
  RegisterWord("\\dms", "kept");
  // Enough words and a category registered after the tag was put in to move
  // the word table; the cached word is then read again.
  std::string talk = "%dms";
  for (int i = 0; i < 64; ++i) talk += "%(\\_registword := x w" + std::to_string(i) + ")";
  EXPECT_EQ(ExpandTalk(talk).substr(0, 4), "kept");
  ASSERT_GT(WordCount, 64);
  EXPECT_EQ(ExpandDms(), "kept");
}

TEST_F(Expand, TalkOfWord) {
  const int w = RegisterWord("\\w", "apple");
  RegisterWord("\\w", "pear");
  RegisterWord("\\ms", "red");
  WordTable[w].Sentence = AddSentence("apples are %ms", TSentenceKind::WordTalk, 0);
  EXPECT_EQ(TalkOfWord("apple"), "apples are red");
  EXPECT_EQ(TalkOfWord("pear"), "");
  EXPECT_EQ(TalkOfWord("plum"), "");
}

TEST_F(Expand, RandomTalkTakesOnlyPlainSentencesWhenCooledDown) {
  const int event = AddSentence("event", TSentenceKind::Event, 0);
  EXPECT_EQ(RandomTalk(), "");
  EXPECT_EQ(SentenceTable[event].CoolDown, 0);
  const int s = AddSentence("free %ms", TSentenceKind::FreeTalk, 3);
  RegisterWord("\\ms", "and rather long talk");
  EXPECT_EQ(RandomTalk(), "free and rather long talk");
  // A free talk rests by its template's 8 bytes, not the told talk's 25.
  EXPECT_EQ(SentenceTable[s].CoolDown, 14);
  EXPECT_EQ(SentenceTable[event].CoolDown, 0);
}

TEST_F(Expand, Conditions) {
  EXPECT_TRUE(CheckCondition(""));
  EXPECT_TRUE(CheckCondition("1"));
  EXPECT_TRUE(CheckCondition("2 = 2"));
  EXPECT_FALSE(CheckCondition("\"1\""));
  EXPECT_FALSE(CheckCondition("0"));
  EXPECT_FALSE(CheckCondition("2"));
  Assign("\\x", "3");
  EXPECT_TRUE(CheckCondition("%x = 3"));
}

TEST_F(Expand, ManyCategoriesStayFast) {
  for (int i = 0; i < 4000; ++i) RegisterWord("\\c" + std::to_string(i), "w");
  const std::string talk = Repeat("%c3999 %c17 %zz ", 30);
  const auto start = std::chrono::steady_clock::now();
  const std::string out = ExpandTalk(talk);
  const auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(out, Repeat("w w %zz ", 30));
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(spent).count(), 500);
}

// The short path of conditions against the expansion and evaluation step by
// step, on random conditions and contexts: references holding "%", quotes,
// lead bytes or assignments; categories and variables whose tags stand at a
// "%"; the charset, the clock and the incoming sentence changing between
// checks. Every answer, and the generator's seed after it, must agree.
TEST_F(Expand, ConditionShortPathMatchesTheStepwiseCheck) {
  std::mt19937 rng(2024);
  auto pick = [&](std::initializer_list<const char*> from) {
    return std::string(from.begin()[rng() % from.size()]);
  };
  auto condition = [&] {
    std::string c;
    for (int n = 1 + static_cast<int>(rng() % 3); n > 0; --n) {
      c += pick({"%ref0", "%ref1", "%ref2", "%ref7", "%ref0", "%hour", "%week", "%ref1",
                 "%ref2", "%day", "%ref0", "%ref1", "(", "%event", "%rand[3]", "%(1)", "%",
                 "%ref0%ref1", "\\v:=", "\x82%", "\x03"});
      c += pick({" = ", " >= ", " < ", " & ", " | ", "=", " + ", "", " "});
      c += pick({"0", "1", "5", "head", "\"head\"", "sun", "\x82\xA0", "%ref3", ""});
    }
    return c;
  };
  int quick = 0, checks = 0;
  for (int round = 0; round < 3000; ++round) {
    if (round % 150 == 0) ResetModule();   // categories are never taken back
    switch (rng() % 12) {
      case 0:
        if (rng() % 4 == 0) RegisterWord(pick({"\\r", "\\re", "\\mthing", "\\h"}), "w");
        break;
      case 1: PutVariable(pick({"\\ref0", "\\r", "\\hou", "\\other"}), "9"); break;
      case 2:
      case 6: RemoveVariable(pick({"\\ref0", "\\r", "\\hou", "\\other"})); break;
      case 3: SetCharset(pick({"Shift_JIS", "EUC-JP"})); break;
      case 4: {
        const TClockReading at{2024, 1, 1 + static_cast<int>(rng() % 28),
                               static_cast<int>(rng() % 24), 0, 0, static_cast<int>(rng() % 7)};
        SetClockOverride(&at);
        break;
      }
      case 5: CurrentTalk.IncomingSentence = pick({"", "head", "0 and 1"}); break;
      default:
        for (int i : {0, 1, 2, 3, 7}) {
          CurrentTalk.References[i] = pick({"0", "1", "2", "head", "", "\"5\"", "0", "1", "2",
                                            "head", "\x82\xA0", "\\v:=1", "%ref1", "a%",
                                            "\x82", "\x03"});
        }
    }
    const std::string c = condition();
    const uint32_t seed = RandomSeed();
    const auto variables = ListVariables();
    auto restore = [&] {
      ResetVariables();
      for (auto v = variables.rbegin(); v != variables.rend(); ++v) PutVariable(v->first, v->second);
      SetRandomSeed(seed);
    };
    // The short path twice (the second may answer from the remembered
    // evaluation), each from the same state; then the step-by-step check.
    bool took[2] = {false, false}, holds[2] = {false, false};
    uint32_t seed_after[2] = {0, 0};
    decltype(ListVariables()) variables_after[2];
    for (int k = 0; k < 2; ++k) {
      restore();
      ClearWordCache();
      took[k] = QuickCondition(c, holds[k]);
      seed_after[k] = RandomSeed();
      variables_after[k] = ListVariables();
    }
    restore();
    const bool expected = CheckConditionStepwise(c);
    ASSERT_EQ(took[0], took[1]) << c;
    for (int k = 0; k < 2; ++k) {
      ++checks;
      if (!took[k]) continue;
      ++quick;
      ASSERT_EQ(holds[k], expected) << "round " << round << ": " << c;
      ASSERT_EQ(seed_after[k], RandomSeed()) << c;
      ASSERT_EQ(variables_after[k], ListVariables()) << c;
    }
    if (took[0]) {   // the call site takes the short path too
      restore();
      ASSERT_EQ(CheckCondition(c), expected) << c;
    }
  }
  EXPECT_GT(quick, checks / 8);   // the short path is taken often enough to be tested
  EXPECT_LT(quick, checks);       // and refused where it must be
}
