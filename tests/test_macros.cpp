// Dictionary macros and the NSDeclare extensions, through ParseDictionary on
// whole dictionary texts: macro rewriting and its bounds, indented
// continuation, tag word lists, joined "sites" strings, and the parse speed.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <random>
#include <string>

#include "nsdic.h"
#include "nsdic_macro.h"
#include "nsdic_parse.h"
#include "shiori.h"

namespace {

std::string Dic(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += "\r\n" + line;
  return text;
}

int WordOf(const std::string& category, const std::string& text) {
  for (int i = 1; i <= WordCount; ++i) {
    if (WordTable[i].Category == category && WordTable[i].Text == text) return i;
  }
  return 0;
}

// The text of SentenceTable record n.
std::string Talk(int n) { return std::string(n <= SentenceCount ? SentenceTable[n].Text : "<none>"); }

class Macros : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
  }
};

TEST_F(Macros, PlaceholderDefinitions) {
  // "Hi%0" (no "%1") is a plain macro of its prefix; "{%0}%1" is closed by "}".
  ParseDictionary(Dic({"$(%0),[%0]", "$<%0|%1>,%1-%0", "$Hi%0,Yo%0", "${%0}%1,/%0/",
                       "\\e,(a)(b)x(a)", "\\e,<x|y>", "\\e,a<b and more", "\\e,c(d",
                       "\\e,Hi {a}{b}"}));
  EXPECT_EQ(Talk(1), "[a][b]x[a]");
  EXPECT_EQ(Talk(2), "y-x");
  EXPECT_EQ(Talk(3), "a<b and more");  // no "|" after "<": left as written
  EXPECT_EQ(Talk(4), "c(d");
  EXPECT_EQ(Talk(5), "Yo%0 /a//b/");
}

// The one-scan rewriting against the definition-by-definition loop, on
// random tables over a small alphabet (prefixes sharing heads, empty
// prefixes, placeholders, bodies that create other definitions' prefixes).
TEST_F(Macros, OneScanRewritingMatchesTheLoopOverDefinitions) {
  std::mt19937 rng(24);
  // Few first bytes are searched for with memchr, many looked at byte by byte.
  std::string alphabet;
  auto random_text = [&](int longest) {
    std::string t(rng() % (longest + 1), ' ');
    for (char& c : t) c = alphabet[rng() % alphabet.size()];
    return t;
  };
  int rewritten = 0;
  for (int table = 0; table < 150; ++table) {
    ResetModule();
    alphabet = table % 2 ? "ab:%01<>" : "abcdefghij%0";
    const int n = 1 + static_cast<int>(rng() % 16);
    for (int i = 0; i < n; ++i) DefineMacro(random_text(5), random_text(4));
    for (int line = 0; line < 40; ++line) {
      const std::string text = random_text(30);
      const std::string expected = ExpandMacrosStepwise(text);
      ASSERT_EQ(ExpandMacros(text), expected) << "table " << table << " line " << text;
      rewritten += expected != text;
    }
  }
  EXPECT_GT(rewritten, 1000);   // the inputs do exercise the rewriting
}

TEST_F(Macros, PlainMacrosRewriteBeforeFieldsAreSplit) {
  EXPECT_EQ(ParseDictionary(Dic({"$FRIENDS,Taro\\,Jiro", "\\name,FRIENDS,Hanako"})), 3);
  EXPECT_NE(WordOf("\\name", "Taro"), 0);
  EXPECT_NE(WordOf("\\name", "Jiro"), 0);
}

TEST_F(Macros, OnlyLaterNonMacroLinesAreRewritten) {
  ParseDictionary(Dic({"\\e,a", "$a,b", "$ca,d", "\\e,ca", "\\e,cb"}));
  EXPECT_EQ(Talk(1), "a");   // before the definition
  EXPECT_EQ(Talk(2), "cb");  // "ca" became "cb" first; the second pattern stayed "ca"
  EXPECT_EQ(Talk(3), "cb");
}

TEST_F(Macros, EmptyPatternOrBodyIsIgnoredAndTableHolds256) {
  std::string text = Dic({"$,x", "$abc", "$  ,y"});
  for (int i = 0; i <= kMacroCapacity; ++i) {
    text += "\r\n$<m" + std::to_string(i) + ">,n" + std::to_string(i);
  }
  text += "\r\n\\e,abc <m0> <m252> <m253> <m256>";
  ParseDictionary(text);
  // The first three lines take no slot: m0..m255 are defined, m256 is not.
  EXPECT_EQ(Talk(1), "abc n0 n252 n253 <m256>");
}

TEST_F(Macros, MacrosApplyToGatheredBodiesAndMacrosEndWithTheRun) {
  ParseDictionary(Dic({"$(%0),[%0]", "\\e", "(a)", "(b)"}));
  EXPECT_EQ(Talk(1), "[a][b]");
  ParseDictionary(Dic({"\\e,(c)"}));
  EXPECT_EQ(Talk(2), "(c)");
}

TEST_F(Macros, SelfMatchingDefinitionsStopAndTheParseGoesOn) {
  // "x" matches again at the same place for ever; the rewritten lines lose
  // their key, later lines without "x" are parsed as usual.
  ParseDictionary(Dic({"$%0x,x", "\\e,abx", "\\e,next", "\\c,w"}));
  EXPECT_EQ(SentenceCount, 0);
  EXPECT_NE(WordOf("\\c", "w"), 0);
}

TEST_F(Macros, GrowingDefinitionsStopPastTheTextLimit) {
  ParseDictionary(Dic({"$<%0>,<%0><%0>", "\\e,<a>x<a>", "\\c,w"}));
  ASSERT_EQ(SentenceCount, 1);
  EXPECT_GT(Talk(1).size(), kTextLimit);
  EXPECT_LE(Talk(1).size(), 2 * kTextLimit + 16);
  EXPECT_NE(WordOf("\\c", "w"), 0);
}

TEST_F(Macros, ARewriteBeyondTheCapIsNotMade) {
  const std::string hundred(100, 'a');
  ParseDictionary(Dic({"$a," + hundred, "$a," + hundred, "$a," + hundred, "$a," + hundred,
                       "\\e,a"}));
  // 1e2, 1e4, 1e6 bytes; 1e8 would pass the cap and is refused.
  ASSERT_EQ(SentenceCount, 1);
  EXPECT_EQ(Talk(1), std::string(1000000, 'a'));
}

// The body holds its own pattern twice: every rewrite makes a new match a
// few bytes longer, so neither the round nor the size limit comes close;
// the bytes rewritten bound it.
TEST_F(Macros, SelfFeedingDefinitionStopsWithinItsRewriteBudget) {
  const std::clock_t start = std::clock();
  ParseDictionary(Dic({"$(%0),(a)(b)", "@OnLoad,(a)(b)", "@OnTest,ok"}));
  const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(EventCount, 2);
}

// Each round turns the "(a)" at the front of the rest into "ax(", so the
// line keeps its length and one round per "a)" is due. The line lengths of
// the rounds made may add up to 32 MiB: on a line of 40004 bytes that is
// 838 rounds (33,523,352 bytes); the 839th round is not made.
TEST_F(Macros, RewritingStopsBeforeItsRoundsSweepMoreThan32MiB) {
  auto times = [](int n, const std::string& piece) {
    std::string text;
    for (int i = 0; i < n; ++i) text += piece;
    return text;
  };
  ParseDictionary(Dic({"$(%0),%0x(", "\\e,(" + times(20000, "a)")}));
  ASSERT_EQ(SentenceCount, 1);
  EXPECT_EQ(Talk(1), times(838, "ax") + "(" + times(20000 - 838, "a)"));
}

class Extensions : public Macros {};

TEST_F(Extensions, TagKeysRegisterUnderEveryCategory) {
  const int count = ParseDictionary(Dic({"Option,NSDeclare True", "\\ms[fruit,sweet],apple,pear",
                                         "\\[red],cherry", "\\[red,round],ball",
                                         "\\d[a,b,c,d],w", "\\mz[food],rice"}));
  EXPECT_EQ(count, 0);  // tag lists are not plain word lists
  for (const char* cat : {"\\ms", "\\[fruit]", "\\[sweet]"}) {
    EXPECT_NE(WordOf(cat, "apple"), 0) << cat;
    EXPECT_NE(WordOf(cat, "pear"), 0) << cat;
  }
  EXPECT_NE(WordOf("\\[red]", "cherry"), 0);
  EXPECT_NE(WordOf("\\[red]", "ball"), 0);
  EXPECT_NE(WordOf("\\[round]", "ball"), 0);
  for (const char* cat : {"\\d", "\\[a]", "\\[b]", "\\[c,d]"}) EXPECT_NE(WordOf(cat, "w"), 0) << cat;
  EXPECT_NE(WordOf("\\mz", "rice"), 0);
  EXPECT_NE(WordOf("\\[food]", "rice"), 0);
  EXPECT_EQ(WordCount, 6 + 1 + 2 + 4 + 2);
}

TEST_F(Extensions, EveryTagHeadIsRecognised) {
  std::string text = "\r\nOption,NSDeclare True";
  for (const char* head : {"\\ms", "\\mz", "\\ml", "\\mc", "\\mh", "\\mt", "\\me", "\\mp",
                           "\\d", "\\k"}) {
    text += std::string("\r\n") + head + "[t],w";
  }
  text += "\r\n\\xx[t],v";
  EXPECT_EQ(ParseDictionary(text), 1);
  for (const char* head : {"\\ms", "\\mz", "\\ml", "\\mc", "\\mh", "\\mt", "\\me", "\\mp",
                           "\\d", "\\k"}) {
    EXPECT_NE(WordOf(head, "w"), 0) << head;
  }
  EXPECT_NE(WordOf("\\[t]", "w"), 0);
  EXPECT_NE(WordOf("\\xx[t]", "v"), 0);
}

TEST_F(Extensions, OpenBracketEdgesKeepEveryWord) {
  ParseDictionary(Dic({"Option,NSDeclare True", "\\k[fruit,apple,pear", "\\ms[a,b] , w",
                       "Option,NSDeclare False", "\\ms[food],rice"}));
  EXPECT_NE(WordOf("\\k", "apple"), 0);
  EXPECT_NE(WordOf("\\[fruit]", "pear"), 0);
  EXPECT_NE(WordOf("\\ms", "w"), 0);
  EXPECT_NE(WordOf("\\[b]", "w"), 0);
  EXPECT_NE(WordOf("\\ms[food]", "rice"), 0);
  EXPECT_EQ(WordCount, 4 + 3 + 1);
}

TEST_F(Extensions, IndentedLinesContinueTheEntry) {
  ParseDictionary(Dic({"Option,NSDeclare True", "\\e,a", "\tb", "  c", "\\e,d", "\t#x", "",
                       "Option,NSDeclare False", "\\e,e", "\tf"}));
  ASSERT_EQ(SentenceCount, 3);
  EXPECT_EQ(Talk(1), "abc");
  EXPECT_EQ(Talk(2), "d#x");
  EXPECT_EQ(Talk(3), "e");  // "f" is a line of its own, an unknown key
}

TEST_F(Extensions, SitesLinesJoinIntoOneString) {
  ParseDictionary(Dic({"Option,NSDeclare True", "\\id,recommendsites,A x",
                       "\\id,recommendsites,B y", "\\id,other,C", "\\id,links,D e",
                       "\\id,links,F"}));
  ASSERT_EQ(StringCount, 4);
  EXPECT_EQ(StringTable[0].Name, "recommendsites");
  EXPECT_EQ(StringTable[0].Text, "A\x01x\x02" "B\x01y\x02");
  EXPECT_EQ(StringTable[1].Name, "other");
  EXPECT_EQ(StringTable[1].Text, "C");
  EXPECT_EQ(StringTable[2].Text, "D e");  // no "sites" in the name
  EXPECT_EQ(StringTable[3].Text, "F");
  ParseDictionary(Dic({"Option,NSDeclare False", "\\id,mysites,A x", "\\id,mysites,B"}));
  EXPECT_EQ(StringCount, 6);
  EXPECT_EQ(StringTable[4].Text, "A x");
}

TEST_F(Macros, LargeDictionaryParsesQuickly) {
  std::string text = "\r\nOption,NSDeclare True";
  for (int i = 0; i < 200; ++i) {
    const std::string n = std::to_string(i);
    switch (i % 3) {
      case 0: text += "\r\n$~name" + n + "~,Taro" + n; break;
      case 1: text += "\r\n$<t" + n + ":%0>,[%0]"; break;
      default: text += "\r\n${p" + n + ":%0|%1},%1%0"; break;
    }
  }
  for (int i = 0; i < 100000; ++i) {
    if (i % 10 == 0) {
      text += "\r\n# comment " + std::to_string(i);
    } else {
      text += "\r\n\\e,\\h\\s[0]talk " + std::to_string(i) + " (ok) <t13:x> ~name3~ {p11:a|b}";
    }
  }
  // Processor time, not wall time: the machine may be shared.
  const std::clock_t start = std::clock();
  ParseDictionary(text);
  const double took = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  ASSERT_EQ(SentenceCount, kSentenceCapacity);
  EXPECT_EQ(Talk(1), "\\h\\s[0]talk 1 (ok) [x] Taro3 ba");
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  EXPECT_LT(took, 1.0);
#endif
  std::printf("100000 lines, 200 macros: %.3f s\n", took);
}

}  // namespace
