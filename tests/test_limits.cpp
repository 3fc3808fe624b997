// Limits of the conversation module: every table filled to its capacity
// through the dictionary parser and then offered one entry more (refused,
// nothing corrupted, requests still answered); and inputs far beyond what an
// author writes: a formula of 10,000 operators, a template of 100,000 nested
// "%(", redirection cycles, a request of 16 MiB, 10,000 variables, a
// dictionary line of 1 MiB.
#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "fileutl.h"
#include "formula.h"
#include "formula_values.h"
#include "formula_vars.h"
#include "nsdic.h"
#include "nsdic_cache.h"
#include "nsdic_expand.h"
#include "nsdic_links.h"
#include "nsdic_parse.h"
#include "nsdic_words.h"
#include "parse_handlers.h"
#include "random.h"
#include "shiori.h"
#include "strutl.h"

#include "scratch_dir.h"
#include "shiori_library.h"

namespace {

// A lower-case word whose byte sum is `sum` (at least 1100). Distinct sums
// give distinct home slots in every index, so a table filled with such words
// (or categories, or event names) is refused only for its capacity, never
// because a probe walk ran out.
std::string WordWithSum(int sum) {
  const int length = (sum + 109) / 110;
  std::string word(length, static_cast<char>(sum / length));
  for (int i = 0; i < sum % length; ++i) ++word[i];
  return word;
}

// The joined text as the loader gives it: an empty first line, CR LF ends.
std::string Dictionary(const std::vector<std::string>& lines) {
  std::string text = "\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string EventRequest(const std::string& event) {
  return "GET Sentence SHIORI/2.5\r\nSender: test\r\nEvent: " + event + "\r\n\r\n";
}

bool StartsWith(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

// The talk of a "Sentence: " line, or "" when the response has none.
std::string TalkOf(const std::string& response) {
  const size_t start = response.find("\r\nSentence: ");
  if (start == std::string::npos) return "";
  const size_t from = start + 12;
  return response.substr(from, response.find("\r\n", from) - from);
}

std::string AskEvent(const std::string& event) { return TalkOf(HandleRequest(EventRequest(event))); }

double SecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs `work` on a thread with the stack of the host's calling thread (1 MiB
// on Windows; AddressSanitizer's red zones need more of it).
bool RunOnSmallStack(const std::function<void()>& work) {
#if defined(__SANITIZE_ADDRESS__)
  constexpr size_t kStack = 4u << 20;
#else
  constexpr size_t kStack = 1u << 20;
#endif
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, kStack);
  pthread_t thread;
  auto call = [](void* argument) -> void* {
    (*static_cast<const std::function<void()>*>(argument))();
    return nullptr;
  };
  const bool started = pthread_create(&thread, &attributes, call,
                                      const_cast<std::function<void()>*>(&work)) == 0;
  pthread_attr_destroy(&attributes);
  return started && pthread_join(thread, nullptr) == 0;
}

class Limits : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
    SetRandomSeed(20240102u);
  }
};

// ---- Tables filled through the parser ----------------------------------------------

TEST_F(Limits, WordTableFullRefusesTheNextWordAndKeepsAnswering) {
  constexpr int kCategories = 16;
  std::vector<std::string> lines{"@OnTest,%c0 and %c15 ok"};
  std::vector<std::string> words;
  for (int i = 0; i <= kWordCapacity; ++i) words.push_back(WordWithSum(1100 + i));
  for (int c = 0; c < kCategories; ++c) {
    std::string line = "\\c" + std::to_string(c);
    for (int i = c; i < kWordCapacity; i += kCategories) line += "," + words[i];
    lines.push_back(line);
  }
  lines.push_back("\\late," + words[kWordCapacity]);
  lines.push_back("\\ft,ftword,\\late,attached talk");

  EXPECT_EQ(ParseDictionary(Dictionary(lines)), kWordCapacity + 1);
  EXPECT_EQ(WordCount, kWordCapacity);
  EXPECT_EQ(FindWord(words[kWordCapacity]), 0);
  EXPECT_EQ(FindWord("ftword"), 0);
  EXPECT_EQ(CategoryMember("\\late", 0), 0);
  for (int i : {0, 1, 4097, kWordCapacity - 1}) {
    const int record = FindWord(words[i]);
    ASSERT_GT(record, 0) << i;
    EXPECT_EQ(WordTable[record].Text, words[i]);
    EXPECT_EQ(WordTable[record].Category, "\\c" + std::to_string(i % kCategories));
  }
  EXPECT_EQ(CategoryMember("\\c3", 0), kWordCapacity / kCategories);

  EXPECT_EQ(Evaluate("\\_registword := late extra"), "extra");
  EXPECT_EQ(WordCount, kWordCapacity);
  const std::string talk = AskEvent("OnTest");
  EXPECT_TRUE(talk.ends_with(" ok\\e")) << talk.substr(0, 80);
  EXPECT_EQ(talk.find('%'), std::string::npos);
  EXPECT_TRUE(StartsWith(HandleRequest("GET Word SHIORI/2.5\r\nType: \\c7\r\n\r\n"),
                         "SHIORI/2.5 200 OK\r\nWord: "));
}

TEST_F(Limits, SentenceTableFullDropsFurtherTalksRepliesHellosAndEvents) {
  std::vector<std::string> lines{"@OnTest,still here"};
  for (int i = 2; i <= kSentenceCapacity; ++i) lines.push_back("\\e,talk" + std::to_string(i));
  for (const char* extra : {"\\e,one more", "\\re,,a reply", "\\hl,,a hello", "@OnLate,late",
                            "\\ft,ftword,\\w,word talk"})
    lines.push_back(extra);

  ParseDictionary(Dictionary(lines));
  EXPECT_EQ(SentenceCount, kSentenceCapacity);
  EXPECT_EQ(ReplyCount + HelloCount, 0);
  EXPECT_EQ(EventCount, 1);
  EXPECT_EQ(SentenceTable[2].Text, "talk2");
  EXPECT_EQ(SentenceTable[kSentenceCapacity].Text, "talk" + std::to_string(kSentenceCapacity));
  const int word = FindWord("ftword");
  ASSERT_GT(word, 0);
  EXPECT_EQ(WordTable[word].Sentence, 0);

  EXPECT_EQ(AskEvent("OnTest"), "still here\\e");
  EXPECT_TRUE(StartsWith(HandleRequest(EventRequest("OnLate")), "SHIORI/2.5 204 No Content"));
  EXPECT_TRUE(StartsWith(TalkOf(HandleRequest("GET Sentence SHIORI/2.5\r\n\r\n")), "talk"));
}

TEST_F(Limits, ReplyAndHelloTablesFullRefuseTheNextEntryWhole) {
  std::vector<std::string> lines{"@OnTest,ok"};
  for (int i = 1; i <= kReplyCapacity + 1; ++i) lines.push_back("\\re,,reply" + std::to_string(i));
  for (int i = 1; i <= kHelloCapacity + 1; ++i) lines.push_back("\\hl,,hello" + std::to_string(i));

  ParseDictionary(Dictionary(lines));
  EXPECT_EQ(ReplyCount, kReplyCapacity);
  EXPECT_EQ(HelloCount, kHelloCapacity);
  EXPECT_EQ(SentenceCount, 1 + kReplyCapacity + kHelloCapacity);
  EXPECT_EQ(SentenceTable[ReplyTable[kReplyCapacity].Sentence].Text,
            "reply" + std::to_string(kReplyCapacity));
  EXPECT_EQ(SentenceTable[HelloTable[kHelloCapacity].Sentence].Text,
            "hello" + std::to_string(kHelloCapacity));

  EXPECT_EQ(AskEvent("OnTest"), "ok\\e");
  const std::string reply =
      HandleRequest("GET Sentence SHIORI/2.5\r\nSender: other\r\nSentence: hi\r\n\r\n");
  EXPECT_TRUE(StartsWith(TalkOf(reply), "reply")) << reply;
}

TEST_F(Limits, EventTableFullRefusesTheNextEvent) {
  std::vector<std::string> names;
  for (int i = 0; i <= kEventCapacity; ++i) names.push_back("On" + WordWithSum(1100 + i));
  std::vector<std::string> lines;
  for (int i = 0; i <= kEventCapacity; ++i)
    lines.push_back("@" + names[i] + ",talk" + std::to_string(i));

  ParseDictionary(Dictionary(lines));
  EXPECT_EQ(EventCount, kEventCapacity);
  EXPECT_EQ(SentenceCount, kEventCapacity);
  EXPECT_EQ(ConditionalMember(names[kEventCapacity], 0), 0);
  EXPECT_EQ(AskEvent(names[0]), "talk0\\e");
  EXPECT_EQ(AskEvent(names[kEventCapacity - 1]), "talk" + std::to_string(kEventCapacity - 1) + "\\e");
  EXPECT_TRUE(StartsWith(HandleRequest(EventRequest(names[kEventCapacity])), "SHIORI/2.5 204"));
}

TEST_F(Limits, LinkTableFullRefusesTheNextLinkButKeepsItsWords) {
  std::vector<std::string> lines{"@OnTest,%a %b"};
  for (int i = 0; i < kLinkCapacity / 2; ++i) {
    const std::string first = WordWithSum(1100 + i);
    lines.push_back("\\ch,\\a," + first + ",\\b,to1");
    lines.push_back("\\ch,\\a," + first + ",\\b,to2");
  }
  lines.push_back("\\ch,\\a," + WordWithSum(1100) + ",\\b,to3");

  ParseDictionary(Dictionary(lines));
  EXPECT_EQ(LinkCount, kLinkCapacity);
  EXPECT_GT(FindWord("to3"), 0);
  EXPECT_EQ(LinkedMember(WordWithSum(1100), "\\b", 0), 2);
  const TWordLink& last = LinkTable[kLinkCapacity];
  EXPECT_EQ(WordTable[last.FromWord].Text, WordWithSum(1100 + kLinkCapacity / 2 - 1));
  EXPECT_EQ(WordTable[last.ToWord].Text, "to2");

  const std::string talk = AskEvent("OnTest");
  EXPECT_TRUE(talk.ends_with(" to1\\e") || talk.ends_with(" to2\\e")) << talk;
}

TEST_F(Limits, CategoryListFullStillStoresTheWordsOfANewCategory) {
  std::vector<std::string> lines{"@OnTest,%" + WordWithSum(1100) + " ok"};
  for (int i = 0; i <= kCategoryCapacity; ++i)
    lines.push_back("\\" + WordWithSum(1100 + i) + ",w" + std::to_string(i));

  ParseDictionary(Dictionary(lines));
  EXPECT_EQ(CategoryCount, kCategoryCapacity);
  EXPECT_EQ(WordCount, kCategoryCapacity + 1);
  const std::string late = "\\" + WordWithSum(1100 + kCategoryCapacity);
  std::set<std::string> listed;
  for (int i = 1; i <= CategoryCount; ++i) {
    EXPECT_TRUE(listed.insert(CategoryList[i]).second) << CategoryList[i];
    if (i > 1) {
      EXPECT_GE(CategoryList[i - 1].size(), CategoryList[i].size());
    }
  }
  EXPECT_EQ(listed.count(late), 0u);

  EXPECT_EQ(AskEvent("OnTest"), "w0 ok\\e");
  EXPECT_EQ(RandomWordOfCategory(late), "w" + std::to_string(kCategoryCapacity));
}

TEST_F(Limits, StringsStatusEntriesAndMacrosBeyondTheirLimits) {
  std::vector<std::string> lines;
  for (int i = 1; i <= 257; ++i)
    lines.push_back("$<m" + std::to_string(i) + ">,R" + std::to_string(i));
  for (int i = 1; i <= kStringLimit + 1; ++i)
    lines.push_back("*id" + std::to_string(i) + ",text" + std::to_string(i));
  for (int i = 1; i <= kStatusLimit + 1; ++i) lines.push_back("+" + std::to_string(i) + ",9");
  lines.push_back("@OnTest,<m1><m256><m257>");

  ParseDictionary(Dictionary(lines));
  EXPECT_EQ(StringCount, kStringLimit);
  EXPECT_EQ(StatusCount, kStatusLimit);
  EXPECT_EQ(StatusList[kStatusLimit + 1], "");
  EXPECT_EQ(StringTable[kStringLimit].Name, "");

  EXPECT_EQ(AskEvent("OnTest"), "R1R256<m257>\\e");
  EXPECT_NE(HandleRequest("GET String SHIORI/2.5\r\nID: id16\r\n\r\n").find("String: text16\r\n"),
            std::string::npos);
  EXPECT_TRUE(StartsWith(HandleRequest("GET String SHIORI/2.5\r\nID: id17\r\n\r\n"),
                         "SHIORI/2.5 204"));
  const std::string status = HandleRequest("GET Status SHIORI/2.5\r\n\r\n");
  EXPECT_NE(status.find("Status: "), std::string::npos);
  EXPECT_EQ(status.find("Status: 17,"), std::string::npos);
}

TEST_F(Limits, WordCacheFullStillExpandsEveryTag) {
  constexpr int kTags = kWordCacheCapacity + 1;
  std::vector<std::string> lines;
  std::string talk;
  for (int i = 1; i <= kTags; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "t%03d", i);
    lines.push_back("\\" + std::string(name) + ",w" + std::string(name + 1));
    talk += "%" + std::string(name) + " ";
  }
  ParseDictionary(Dictionary(lines));

  const std::string result = ExpandTalk(talk);
  EXPECT_EQ(WordCacheCount, kWordCacheCapacity);
  EXPECT_EQ(result.find('%'), std::string::npos);
  EXPECT_TRUE(StartsWith(result, "w001 w002 "));
  EXPECT_TRUE(result.ends_with(" w500 w501 "));
}

TEST_F(Limits, CategoryOfMoreWordsThanTheCandidateListHolds) {
  std::string line = "\\big";
  for (int i = 0; i < 3000; ++i) line += "," + WordWithSum(1100 + i);
  ParseDictionary(Dictionary({line}));
  ASSERT_EQ(CategoryMember("\\big", 0), 3000);
  std::set<std::string> seen;
  for (int i = 0; i < 4000; ++i) seen.insert(RandomWordOfCategory("\\big"));
  EXPECT_EQ(seen.count(""), 0u);
  EXPECT_GT(seen.size(), 1500u);  // the words past the 1024th are drawn too
}

// ---- Inputs far beyond what an author writes -----------------------------------------

TEST_F(Limits, FormulasOfTenThousandOperators) {
  std::string chain = "1", sequence = "\\x := 1", nested = "1";
  for (int i = 0; i < 10000; ++i) {
    chain += (i % 2 ? " + 2" : " * 3");
    sequence += " ; \\x := %x";
  }
  for (int i = 0; i < 1000; ++i) nested = "(" + nested + ")";
  const double seconds = SecondsOf([&] {
    EXPECT_EQ(Evaluate(chain), "#err");
    EXPECT_EQ(Evaluate(sequence), "#err");
    EXPECT_EQ(Evaluate(nested), "1");
  });
  EXPECT_LT(seconds, 30.0);
  EXPECT_EQ(Evaluate("1 + 2 * 3"), "7");
}

TEST_F(Limits, TemplateOfOneHundredThousandNestedFormulas) {
  ParseDictionary(Dictionary({"\\m,moon"}));
  std::string nested, unclosed;
  for (int i = 0; i < 100000; ++i) {
    nested += "%(";
    unclosed += "%(";
  }
  nested += "1" + std::string(100000, ')');
  unclosed += "%m";
  std::string nested_result, unclosed_result;
  const double seconds = SecondsOf([&] {
    ASSERT_TRUE(RunOnSmallStack([&] {
      nested_result = ExpandTalk(nested);
      unclosed_result = ExpandTalk(unclosed);
    }));
  });
  EXPECT_LT(seconds, 30.0);
  EXPECT_LE(nested_result.size(), nested.size());
  EXPECT_LE(unclosed_result.size(), unclosed.size());
  EXPECT_EQ(ExpandTalk("%m %(1+2)"), "moon 3");
}

TEST_F(Limits, EventRedirectionCyclesEnd) {
  ParseDictionary(Dictionary({"@OnA,@OnB", "@OnB,@OnA", "@OnRandom,\\a", "\\e,\\a",
                              "@OnFine,fine"}));
  EXPECT_TRUE(StartsWith(HandleRequest(EventRequest("OnA")), "SHIORI/2.5 204 No Content\r\n"));
  EXPECT_TRUE(StartsWith(HandleRequest(EventRequest("OnRandom")), "SHIORI/2.5 "));
  EXPECT_EQ(AskEvent("OnFine"), "fine\\e");
}

TEST_F(Limits, RequestsOfSixteenMebibytes) {
  ParseDictionary(Dictionary({"@OnTest,size %(\\_length := \"%ref0\")", "\\m,moon"}));
  constexpr size_t kSize = 16u << 20;
  const std::string big(kSize, 'x');

  std::string reference = EventRequest("OnTest");
  reference.insert(reference.size() - 2, "Reference0: " + big + "\r\n");
  const std::string answer = HandleRequest(reference);
  EXPECT_TRUE(StartsWith(answer, "SHIORI/2.5 ")) << answer.substr(0, 80);

  std::string headers = "GET Sentence SHIORI/2.5\r\n";
  while (headers.size() < kSize) headers += "X-Filler: abcdefghij\r\n";
  headers += "Event: OnTest\r\n\r\n";
  EXPECT_TRUE(StartsWith(HandleRequest(headers), "SHIORI/2.5 200 OK\r\n"));

  EXPECT_TRUE(StartsWith(HandleRequest("GET Word SHIORI/2.5\r\nSentence: " + big + "\r\n\r\n"),
                         "SHIORI/2.5 "));
  EXPECT_TRUE(StartsWith(HandleRequest(big), "SHIORI/2.5 400 Bad Request"));
  EXPECT_EQ(AskEvent("OnTest").rfind("size ", 0), 0u);
}

// The same size through the library's exports, in a fresh process: the
// host's block is copied, freed and answered with a block of its own.
TEST(LimitsThroughExports, RequestOfSixteenMebibytes) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ScratchDir ghost;
  PutFile(ghost.path() + "tamune.ini", "dic.txt\r\n");
  PutFile(ghost.path() + "dic.txt", "@OnEcho,got %(\\_length := \"%ref0\")\r\n");
  const std::string directory = ghost.path();
  EXPECT_EXIT(RunInFreshModule([&](TShioriLibrary& library, TChildChecks& checks) {
    CHILD_TRUE(library.Load(directory) == 1);
    const std::string big(16u << 20, 'x');
    const TResponseBlock echo = library.Request("GET Sentence SHIORI/2.5\r\nEvent: OnEcho\r\n"
                                           "Reference0: " + big + "\r\n\r\n");
    CHILD_TRUE(echo.nul_ended && echo.length == static_cast<long>(echo.text.size()));
    CHILD_TRUE(StartsWith(echo.text, "SHIORI/2.5 200 OK\r\nSentence: got "));
    const TResponseBlock line = library.Request("GET Version SHIORI/2.5" + big + "\r\n\r\n");
    CHILD_TRUE(StartsWith(line.text, "SHIORI/2.5 200 OK\r\n"));
  }), ::testing::ExitedWithCode(0), "");
}

TEST_F(Limits, TenThousandVariablesFillTheStoreAndAreThenRefused) {
  // Names of one length, so that no name is a prefix of another.
  auto name = [](int i) {
    char text[16];
    std::snprintf(text, sizeof text, "\\v%05d", i);
    return std::string(text);
  };
  for (int i = 1; i <= 10000; ++i) Assign(name(i), std::to_string(i));
  EXPECT_EQ(VariableCount(), kVariableCapacity);
  ASSERT_NE(FindVariable(name(1)), nullptr);
  EXPECT_EQ(*FindVariable(name(1)), "1");
  ASSERT_NE(FindVariable(name(8192)), nullptr);
  EXPECT_EQ(*FindVariable(name(8192)), "8192");
  EXPECT_EQ(FindVariable(name(8193)), nullptr);
  // Full: nothing is stored, replaced, removed or called any more.
  EXPECT_EQ(Assign(name(1), "changed"), "");
  EXPECT_EQ(Assign(name(2), ""), "");
  EXPECT_EQ(Assign("\\_length", "abc"), "");
  EXPECT_EQ(*FindVariable(name(1)), "1");
  EXPECT_EQ(*FindVariable(name(2)), "2");
  EXPECT_EQ(VariableCount(), kVariableCapacity);
  EXPECT_EQ(ExpandTalk("%v09999|%v08192|%v00001"), "%v09999|8192|1");
}

TEST_F(Limits, DictionaryLinesOfOneMebibyte) {
  constexpr size_t kLine = 1u << 20;
  const std::string talk(kLine - 8, 't');
  // About 14,000 words on one line.
  std::string words = "\\many", last_word;
  int word_fields = 0;
  while (words.size() + 200 < kLine) {
    last_word = WordWithSum(1100 + word_fields++);
    words += "," + last_word;
  }
  const std::string long_word = "\\long," + std::string(kLine - 6, 'L');
  const std::string body = "@OnBody\r\n" + std::string(kLine / 2, 'b') + "\r\n" +
                           std::string(kLine / 2, 'c');
  int fields = 0;
  const double seconds = SecondsOf([&] {
    fields = ParseDictionary(Dictionary({"$<%0>,[%0]", "@OnTest," + talk, words, long_word, body,
                                         "@OnAfter,after <x>"}));
  });
  EXPECT_EQ(fields, word_fields + 1);
  EXPECT_LT(seconds, 20.0);

  // Sizes only: a failure must not print a mebibyte.
  const std::string answer = AskEvent("OnTest");
  EXPECT_EQ(answer.size(), talk.size() + 2);
  EXPECT_TRUE(answer == talk + "\\e");
  EXPECT_EQ(WordCount, word_fields + 1);
  EXPECT_GT(FindWord(last_word), 0);
  EXPECT_EQ(RandomWordOfCategory("\\long").size(), kLine - 6);
  EXPECT_EQ(AskEvent("OnBody").size(), kLine + 2);
  EXPECT_EQ(AskEvent("OnAfter"), "after [x]\\e");
}

// Dictionaries on which the fuzz target for dictionaries once ran out of
// time (self-feeding macros and words: rewrites and expansion passes bounded
// in number but not in the bytes they sweep). Each is parsed and asked for
// the events it names, as that target does.
TEST_F(Limits, DictionariesTheFuzzerFoundSlowLoadAndAnswerQuickly) {
  const std::string directory = std::string(SOURCE_DIR) + "/fuzz/regressions/dictionary/";
  for (const char* name : {"macro-rewrite-two-lines", "macro-rewrite-fuzzer-input",
                           "expansion-formula-word", "expansion-fuzzer-input"}) {
    SCOPED_TRACE(name);
    SetUp();
    const std::string text = ReadWholeFile(directory + name);
    ASSERT_FALSE(text.empty());
    const double seconds = SecondsOf([&] {
      ParseDictionary(text);
      for (int cursor = 1; cursor > 0;) {
        const std::string line = ReadLine(cursor, text);
        if (line.size() < 2 || line[0] != '@') continue;
        const std::string event = line.substr(1, line.find_first_of(",&") - 1);
        EXPECT_TRUE(StartsWith(HandleRequest(EventRequest(event)), "SHIORI/2.5 "));
      }
    });
    EXPECT_LT(seconds, 20.0);
  }
}

}  // namespace
