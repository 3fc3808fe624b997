// The response engine over small dictionaries put straight into the store:
// candidate collection, the countdown draw, "\a" and "@" redirections, the
// redirection bound, replies, strings, status texts and the talk context.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>

#include "formula_values.h"
#include "formula_vars.h"
#include "nsdic.h"
#include "nsdic_links.h"
#include "nsdic_talk.h"
#include "nsdic_words.h"
#include "random.h"
#include "shiori.h"

namespace {

class Talk : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
    SetRandomSeed(4242);
  }
  // Registers an event response; gives its sentence number.
  static int Event(const std::string& name, const std::string& condition,
                   const std::string& text) {
    const int e = RegisterConditional(name, condition, text);
    EXPECT_GT(e, 0);
    return EventTable[e].Sentence;
  }
  static int Reply(const std::string& condition, const std::string& text) {
    const int s = AddSentence(text, TSentenceKind::Reply, 0);
    EXPECT_GT(AddReply(s, condition), 0);
    return s;
  }
  static std::string Fire(const std::string& name, const std::string& sender = "Host") {
    return EventTalk(name, sender, TReferences{});
  }
};

// Number of Random() draws that lead from one seed to the other.
int DrawsBetween(uint32_t from, uint32_t to) {
  const uint32_t saved = RandomSeed();
  SetRandomSeed(from);
  int n = 0;
  for (; n <= 20000 && RandomSeed() != to; ++n) Random(1);
  SetRandomSeed(saved);
  return n <= 20000 ? n : -1;
}

int DrawsOfOneEventTalk(const std::string& name) {
  const uint32_t before = RandomSeed();
  EventTalk(name, "Host", TReferences{});
  return DrawsBetween(before, RandomSeed());
}

}  // namespace

TEST_F(Talk, CountdownTakesTheOnlyResponseAtItsCoolDownDraw) {
  const int s = Event("OnTick", "", "tick");
  const struct {
    int32_t cool_down;
    int draws;
  } cases[] = {{1, 1}, {7, 7}, {4999, 4999}, {0, 1}, {-3, 1}, {6000, 5000}};
  for (const auto& c : cases) {
    SentenceTable[s].CoolDown = c.cool_down;
    EXPECT_EQ(DrawsOfOneEventTalk("OnTick"), c.draws) << c.cool_down;
  }
}

// What a talk's weight decides: a talk just told is drawn half its length in
// bytes plus 10 times before it is told again; the length of the talk as
// told, not of its template.
TEST_F(Talk, ATalkJustToldWaitsHalfItsLengthPlusTenDraws) {
  Assign("\\v", "a-rather-long-value");  // 19 bytes
  const struct {
    const char* name;
    std::string text;
    int draws;
  } cases[] = {{"OnA", "a", 10},
               {"OnB", "abc", 11},
               {"OnC", "tick", 12},
               {"OnD", std::string(101, 'x'), 60},
               {"OnE", "%v", 19}};
  for (const auto& c : cases) {
    Event(c.name, "", c.text);
    Fire(c.name);
    EXPECT_EQ(DrawsOfOneEventTalk(c.name), c.draws) << c.name;
  }
}

TEST_F(Talk, RefusedDrawsKeepTheirLoweredCoolDown) {
  const int a = Event("OnTick", "", "a");
  const int b = Event("OnTick", "", "b");
  SentenceTable[a].CoolDown = 100000;
  SentenceTable[b].CoolDown = 3;
  EXPECT_EQ(Fire("OnTick"), "b");
  const int lowered = 100000 - SentenceTable[a].CoolDown;
  EXPECT_EQ(DrawsBetween(4242, RandomSeed()), lowered + 3);
}

TEST_F(Talk, NohitIsOnlyAFallback) {
  Event("OnA", "0", "never");
  Event("OnA", "nohit", "fallback");
  EXPECT_EQ(Fire("OnA"), "fallback");

  const int always = Event("OnB", "", "always");
  Event("OnB", "nohit", "fallback");
  for (int i = 0; i < 50; ++i) {
    SentenceTable[always].CoolDown = 0;
    EXPECT_EQ(Fire("OnB"), "always");
  }
  Event("OnC", "0", "never");
  EXPECT_EQ(Fire("OnC"), "");
  EXPECT_EQ(Fire("OnNothing"), "");
}

TEST_F(Talk, ConditionsRunOnceEachInRegistrationOrder) {
  Assign("\\t", "0");
  Event("OnSeq", "\\t := %t * 10 + 1", "one");
  Event("OnSeq", "\\t := %t * 10 + 2", "two");
  Event("OnSeq", "\\t := %t * 10 + 3", "three");
  EXPECT_EQ(Fire("OnSeq"), "one");  // only the first condition gave "1"
  ASSERT_NE(FindVariable("\\t"), nullptr);
  EXPECT_EQ(*FindVariable("\\t"), "123");
}

TEST_F(Talk, EmptySentenceGivesEmptyTalkAndKeepsItsCoolDown) {
  const int s = Event("OnEmpty", "", "");
  SentenceTable[s].CoolDown = 2;
  EXPECT_EQ(Fire("OnEmpty"), "");
  EXPECT_EQ(SentenceTable[s].CoolDown, 0);
}

TEST_F(Talk, ContextWhileAndAfterAnEvent) {
  Event("OnCtx", "", "%event/%sender/%ref0/%ref7");
  TReferences refs;
  refs.Reference0 = "zero";
  refs.Reference7 = "seven";
  EXPECT_EQ(EventTalk("OnCtx", "Me", refs), "OnCtx/Me/zero/seven");
  EXPECT_EQ(CurrentTalk.EventName, "OnCtx");
  EXPECT_EQ(CurrentTalk.Sender, "Me");
  EXPECT_EQ(CurrentTalk.References.Reference0, "");
  EXPECT_EQ(CurrentTalk.References.Reference7, "");
}

TEST_F(Talk, FreeTalkRedirection) {
  Event("OnIdle", "", "\\a");
  AddSentence("free talk", TSentenceKind::FreeTalk, 0);
  EXPECT_EQ(Fire("OnIdle"), "free talk");
}

TEST_F(Talk, EventRedirectionKeepsSenderAndReferences) {
  Event("OnFirst", "", "@OnSecond");
  Event("OnSecond", "", "second %ref0 %event %sender");
  TReferences refs;
  refs.Reference0 = "R0";
  EXPECT_EQ(EventTalk("OnFirst", "S", refs), "second R0 OnSecond S");
  EXPECT_EQ(CurrentTalk.EventName, "OnSecond");
  EXPECT_EQ(CurrentTalk.References.Reference0, "");
}

TEST_F(Talk, RedirectionToItsOwnEventIsReturnedAsIs) {
  Event("OnSelf", "", "@OnSelf");
  EXPECT_EQ(Fire("OnSelf"), "@OnSelf");
}

TEST_F(Talk, RedirectionChainsEndAfterSixteen) {
  for (int i = 0; i < 16; ++i) Event("E" + std::to_string(i), "", "@E" + std::to_string(i + 1));
  Event("E16", "", "end");  // E0 reaches it through 16 redirections
  for (int i = 0; i < 17; ++i) Event("F" + std::to_string(i), "", "@F" + std::to_string(i + 1));
  Event("F17", "", "end");  // F0 would need 17
  EXPECT_EQ(Fire("E0"), "end");
  EXPECT_EQ(CurrentTalk.EventName, "E16");
  EXPECT_EQ(Fire("F0"), "");
  EXPECT_EQ(Fire("E0"), "end");
}

TEST_F(Talk, TwoEventCycleStops) {
  Assign("\\k", "0");
  Event("OnPing", "\\k := %k + 1 ; 1", "@OnPong");
  Event("OnPong", "\\k := %k + 1 ; 1", "@OnPing");
  EXPECT_EQ(Fire("OnPing"), "");
  ASSERT_NE(FindVariable("\\k"), nullptr);
  EXPECT_EQ(*FindVariable("\\k"), "17");  // the first talk and 16 redirections
  EXPECT_EQ(Fire("OnPing"), "");         // and the bound is not used up
  EXPECT_EQ(*FindVariable("\\k"), "34");
}

TEST_F(Talk, AnswerPicksQualifyingRepliesAlike) {
  const int a = Reply("", "reply a to %sentence (%age)");
  const int b = Reply("hello", "reply b");
  Reply("goodbye", "never");
  SentenceTable[a].CoolDown = 1000;
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) seen.insert(AnswerTalk("hello there", "Other", "3"));
  EXPECT_EQ(seen, (std::set<std::string>{"reply a to hello there (3)", "reply b"}));
  EXPECT_EQ(SentenceTable[a].CoolDown, 1000);
  EXPECT_EQ(SentenceTable[b].CoolDown, 0);
  EXPECT_EQ(CurrentTalk.EventName, "ResponseTalk");
  EXPECT_EQ(CurrentTalk.Sender, "Other");
  EXPECT_EQ(CurrentTalk.IncomingSentence, "");
  EXPECT_EQ(CurrentTalk.Age, "");
}

TEST_F(Talk, AnswerFallsBackToNohitAndRedirects) {
  Reply("goodbye", "never");
  Reply("nohit", "@OnUnknownWords");
  Event("OnUnknownWords", "", "what? %sender %ref0");
  EXPECT_EQ(AnswerTalk("hello", "Other", "0"), "what? Other ");
  EXPECT_EQ(CurrentTalk.EventName, "OnUnknownWords");
  EXPECT_EQ(AnswerTalk("", "Other", "0"), "what? Other ");
}

TEST_F(Talk, EveryQualifyingResponseStaysACandidate) {
  for (int i = 1; i <= 2000; ++i) Reply("", "r" + std::to_string(i));
  int highest = 0;
  for (int i = 0; i < 1000; ++i) {
    const int s = DrawResponseOnce(ReplyTable, ReplyCount);
    ASSERT_GE(s, 1);
    ASSERT_LE(s, 2000);
    highest = s > highest ? s : highest;
  }
  EXPECT_GT(highest, 1900);

  const int first = SentenceCount + 1;
  for (int i = 1; i <= 600; ++i) SentenceTable[Event("OnMany", "", "e")].CoolDown = 0;
  int past_512 = 0;
  for (int round = 0; round < 60; ++round) {
    Fire("OnMany");
    for (int k = 513; k <= 600; ++k) {
      if (SentenceTable[first + k - 1].CoolDown > 0) ++past_512;  // the one taken
    }
    for (int k = 0; k < 600; ++k) SentenceTable[first + k].CoolDown = 0;
  }
  EXPECT_GT(past_512, 0);
}

TEST_F(Talk, StringsPickAmongTheirEntries) {
  const char* texts[] = {"one %ms", "two", "three"};
  for (const char* t : texts) {
    StringTable[StringCount].Name = "sakura.greeting";
    StringTable[StringCount].Text = t;
    ++StringCount;
  }
  StringTable[StringCount].Name = "other";
  StringTable[StringCount].Text = "other";
  ++StringCount;
  RegisterWord("\\ms", "word");
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) seen.insert(StringTalk("sakura.greeting"));
  EXPECT_EQ(seen, (std::set<std::string>{"one word", "two", "three"}));
  EXPECT_EQ(StringTalk("missing"), "");
}

TEST_F(Talk, StatusTexts) {
  EXPECT_EQ(StatusTalk(), StatusList[0]);
  StatusList[1] = "first %ms";
  StatusCount = 1;
  RegisterWord("\\ms", "x");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(StatusTalk(), "first x");
  StatusList[2] = "second";
  StatusCount = 2;
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) seen.insert(StatusTalk());
  EXPECT_EQ(seen, (std::set<std::string>{"first x", "second"}));
}

TEST_F(Talk, ContextSettersTakeFieldsOfTheContextItself) {
  TReferences refs;
  refs.Reference3 = "three";
  SetTalkEvent("OnX", "Y", refs);
  SetTalkEvent(CurrentTalk.Sender, CurrentTalk.EventName, CurrentTalk.References);
  EXPECT_EQ(CurrentTalk.EventName, "Y");
  EXPECT_EQ(CurrentTalk.Sender, "OnX");
  EXPECT_EQ(CurrentTalk.References.Reference3, "three");
}

// Well under a millisecond in an optimised build; the debug build, whose
// evaluator runs several times slower, only guards against blow-ups. The
// fastest of several batches is taken so that a busy machine does not count.
TEST_F(Talk, HundredFormulaResponsesChosenQuickly) {
  for (int i = 0; i < 100; ++i) {
    Event("OnBusy", "%ref0 = " + std::to_string(i), "talk " + std::to_string(i) + " %ref0");
  }
  TReferences refs;
  refs.Reference0 = "42";
  long best = -1;
  for (int batch = 0; batch < 20; ++batch) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) ASSERT_EQ(EventTalk("OnBusy", "H", refs), "talk 42 42");
    const auto spent = std::chrono::steady_clock::now() - start;
    const long micros =
        std::chrono::duration_cast<std::chrono::microseconds>(spent).count() / 10;
    if (best < 0 || micros < best) best = micros;
  }
  RecordProperty("microseconds_per_event", static_cast<int>(best));
#ifdef NDEBUG
  EXPECT_LT(best, 500);
#else
  EXPECT_LT(best, 10000);
#endif
}
