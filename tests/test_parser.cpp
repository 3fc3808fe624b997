// Dictionary parser: whole dictionary texts go through ParseDictionary and the
// store's tables are inspected afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <string>

#include "formula_search.h"
#include "nsdic.h"
#include "nsdic_parse.h"
#include "nsdic_words.h"
#include "shiori.h"

namespace {

// A joined dictionary text: it always begins with an empty line; the last
// line has no CR LF unless `final_crlf` is set.
std::string Dic(std::initializer_list<std::string> lines, bool final_crlf = false) {
  std::string text;
  for (const std::string& line : lines) text += "\r\n" + line;
  if (final_crlf) text += "\r\n";
  return text;
}

// Record number of the word registered under `category`, or 0.
int WordOf(const std::string& category, const std::string& text) {
  for (int i = 1; i <= WordCount; ++i) {
    if (WordTable[i].Category == category && WordTable[i].Text == text) return i;
  }
  return 0;
}

class Parser : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
  }
};

TEST_F(Parser, WordTalkAttachesItsSentenceToTheWord) {
  EXPECT_EQ(ParseDictionary(Dic({"\\ft,Taro,\\name,\\h\\s[0]Taro is a friend\\, yes.\\e"})), 0);
  const int w = WordOf("\\name", "Taro");
  ASSERT_NE(w, 0);
  ASSERT_EQ(SentenceCount, 1);
  EXPECT_EQ(WordTable[w].Sentence, 1);
  EXPECT_EQ(SentenceTable[1].Text, "\\h\\s[0]Taro is a friend\\, yes.\\e");
  EXPECT_EQ(SentenceTable[1].Kind, TSentenceKind::WordTalk);
  EXPECT_EQ(SentenceTable[1].CoolDown, 0);
}

TEST_F(Parser, RepliesHellosAndLinks) {
  ParseDictionary(Dic({"\\re,,\\h\\s[0]I see.\\e", "\\hl,,\\h\\s[0]Hello over there.\\e",
                       "\\re,%age>3,ok\\, then", "\\ch,\\name,Taro,\\food,curry,dropped",
                       "\\ch,\\name,Jiro", "\\ch,\\name,Hanako,\\food", "\\ch,\\name"}));
  ASSERT_EQ(ReplyCount, 2);
  ASSERT_EQ(HelloCount, 1);
  EXPECT_EQ(ReplyTable[1].Sentence, 1);
  EXPECT_EQ(SentenceTable[1].Kind, TSentenceKind::Reply);
  EXPECT_EQ(SentenceTable[1].CoolDown, 17);  // 15 bytes div 2 + 10
  EXPECT_EQ(HelloTable[1].Sentence, 2);
  EXPECT_EQ(SentenceTable[2].Kind, TSentenceKind::Hello);
  EXPECT_EQ(SentenceTable[2].CoolDown, 0);
  EXPECT_EQ(ReplyTable[2].Condition, "%age>3");
  EXPECT_EQ(SentenceTable[3].Text, "ok\\, then");  // "\," stays in replies
  // Only the full "\ch" line links; the short ones register one word at most.
  ASSERT_EQ(LinkCount, 1);
  EXPECT_EQ(LinkTable[1].FromWord, WordOf("\\name", "Taro"));
  EXPECT_EQ(LinkTable[1].ToWord, WordOf("\\food", "curry"));
  EXPECT_NE(WordOf("\\name", "Hanako"), 0);
  EXPECT_EQ(WordCount, 4);
}

TEST_F(Parser, FreeTalksEventsAndStrings) {
  ParseDictionary(Dic({"\\e,\\h\\s[0]Nothing to do today\\, is there?\\e",
                       "@OnLoad,\\h\\s[0]Good morning.\\e", "@OnLoad&nohit,Hello",
                       "\\ev,OnBoot & %x==1 ,Hi\\, you", "*greeting,Hello there",
                       "\\id,links,a\\[1]b\\[2]\\, c", "\\e,,x\\\\,y\\,\\,z,"}));
  EXPECT_EQ(SentenceTable[1].Text, "\\h\\s[0]Nothing to do today, is there?\\e");
  EXPECT_EQ(SentenceTable[1].Kind, TSentenceKind::FreeTalk);
  ASSERT_EQ(EventCount, 3);
  EXPECT_EQ(EventTable[1].Name, "OnLoad");
  EXPECT_EQ(EventTable[1].Condition, "");
  EXPECT_EQ(EventTable[2].Name, "OnLoad");
  EXPECT_EQ(EventTable[2].Condition, "nohit");
  EXPECT_EQ(SentenceTable[EventTable[2].Sentence].Text, "Hello");
  EXPECT_EQ(SentenceTable[EventTable[2].Sentence].Kind, TSentenceKind::Event);
  EXPECT_EQ(EventTable[3].Name, "OnBoot");
  EXPECT_EQ(EventTable[3].Condition, "%x==1");
  EXPECT_EQ(SentenceTable[EventTable[3].Sentence].Text, "Hi, you");
  ASSERT_EQ(StringCount, 2);
  EXPECT_EQ(StringTable[0].Name, "greeting");
  EXPECT_EQ(StringTable[0].Text, "Hello there");
  EXPECT_EQ(StringTable[1].Name, "links");
  EXPECT_EQ(StringTable[1].Text, "a\x01" "b\x02, c");
  // Escapes are undone left to right: a doubled backslash keeps one.
  EXPECT_EQ(SentenceTable[SentenceCount].Text, ",x\\,y,,z,");
}

TEST_F(Parser, WordListsCountFieldsUpToTheFirstEmptyOne) {
  EXPECT_EQ(ParseDictionary(Dic({"\\name,Taro,Jiro,Saburo"})), 3);
  EXPECT_EQ(WordCount, 3);
  ResetModule();
  EXPECT_EQ(ParseDictionary(Dic({"\\name,Taro,Jiro,,Saburo", "\\name,Taro"})), 3);
  EXPECT_EQ(WordCount, 2);  // the repeated Taro is counted but not new
  EXPECT_EQ(WordOf("\\name", "Saburo"), 0);
  EXPECT_EQ(StatusList[0], "2,0,1,0,0,0");
  ParseDictionary(Dic({"\\name\\,x,Taro"}));
  EXPECT_NE(WordOf("\\name,x", "Taro"), 0);
}

// A word list of 1 MiB: reading the next word must not copy the rest of the
// line each time (100,000 words would cost about 10^11 bytes).
TEST_F(Parser, LongWordListLineParsesQuickly) {
  std::string line = "\r\n\\many";
  for (int i = 0; i < 100000; ++i) line += ",w" + std::to_string(i % 16000);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ParseDictionary(line), 100000);
  const auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(spent).count(), 5);
  EXPECT_NE(FindWord("w0"), 0);
}

TEST_F(Parser, StatusAndStringEntriesUpToSixteen) {
  std::string text = Dic({"+100,100,100", "*,no name", "\\id,noText", "*", ""});
  for (int i = 0; i < 20; ++i) {
    text += "\r\n+" + std::to_string(i) + ",1\r\n*s" + std::to_string(i) + ",t";
  }
  ParseDictionary(text);
  EXPECT_EQ(StatusList[1], "100,100,100");
  EXPECT_EQ(StatusCount, kStatusLimit);
  EXPECT_EQ(StatusList[16], "14,1");
  EXPECT_EQ(StatusList[17], "");
  EXPECT_EQ(StringCount, kStringLimit);  // empty names and texts took no slot
  EXPECT_EQ(StringTable[0].Name, "s0");
  EXPECT_EQ(StringTable[15].Name, "s15");
}

TEST_F(Parser, CommentLinesAndBlockComments) {
  ParseDictionary(Dic({"#\\c,a", ",\\c,b", "//\\c,c", "/", "/* \\c,d */", "\\c,e", "*/ \\c,f",
                       "\\c,g", "unknown,h", "/*", "\\c,i"}));
  EXPECT_EQ(WordCount, 1);
  EXPECT_NE(WordOf("\\c", "g"), 0);
  // The line after a closing line is not tested for "/*" again.
  ParseDictionary(Dic({"/*", "*/", "/*", "\\c,a"}));
  EXPECT_NE(WordOf("\\c", "a"), 0);
}

TEST_F(Parser, LastLineWithOrWithoutLineEnd) {
  EXPECT_EQ(ParseDictionary(Dic({"\\c,a", "\\c,b"})), 2);
  EXPECT_EQ(ParseDictionary(Dic({"\\c,x", "\\c,y"}, true)), 2);
  EXPECT_EQ(WordCount, 4);
  EXPECT_EQ(ParseDictionary("\\c,z"), 1);  // no leading empty line either
  EXPECT_EQ(ParseDictionary(""), 0);
}

TEST_F(Parser, BodyGatheringJoinsLinesUntilAStopLine) {
  ParseDictionary(Dic({"\\e", "\\h\\s[0]one", "two\\, three", "", "\\re,cond", "\\ft,x", "#",
                       "\\hl", "a", "\\r", "\\e,solo"}));
  ASSERT_EQ(SentenceCount, 4);
  EXPECT_EQ(SentenceTable[1].Text, "\\h\\s[0]onetwo, three");
  EXPECT_EQ(SentenceTable[2].Text, "\\ft,x");
  EXPECT_EQ(ReplyTable[1].Condition, "cond");
  EXPECT_EQ(SentenceTable[3].Text, "a");
  EXPECT_EQ(SentenceTable[3].Kind, TSentenceKind::Hello);
  EXPECT_EQ(SentenceTable[4].Text, "solo");
  EXPECT_EQ(WordCount, 0);  // the "\r" line stopped the body and is a key of its own
}

TEST_F(Parser, EveryStopLineOfABodyIsParsedAsItsOwnEntry) {
  ParseDictionary(Dic({"@OnA", "x", "@OnB,y", "*s", "z", "\\ev,OnC,w", "\\id,t", "v", "\\hl,,h",
                       "\\e", "u", "/x", "\\e", "q"}));
  ASSERT_EQ(EventCount, 3);
  EXPECT_EQ(SentenceTable[EventTable[1].Sentence].Text, "x");
  EXPECT_EQ(SentenceTable[EventTable[2].Sentence].Text, "y");
  EXPECT_EQ(EventTable[3].Name, "OnC");
  ASSERT_EQ(StringCount, 2);
  EXPECT_EQ(StringTable[0].Text, "z");
  EXPECT_EQ(StringTable[1].Text, "v");
  EXPECT_EQ(HelloCount, 1);
  EXPECT_EQ(SentenceTable[SentenceCount - 1].Text, "u");
  EXPECT_EQ(SentenceTable[SentenceCount].Text, "q");  // body ends with the text
}

TEST_F(Parser, OptionDirectives) {
  ParseDictionary(Dic({"Option,Charset:", "Option , AIStateComplex", "Option,nonsense",
                       "Option,NSDeclare True"}));
  EXPECT_EQ(CharsetName(), "Shift_JIS");
  EXPECT_TRUE(AIStateComplex);
  EXPECT_TRUE(NSDeclare);
  EXPECT_EQ(StatusList[0], "0,0,0,0,0,0,0,0,0,0,0,0");
  ParseDictionary(Dic({"Option,NSDeclare False", "Option,Charset:  UTF-8 "}));
  EXPECT_FALSE(NSDeclare);
  EXPECT_EQ(CharsetName(), "UTF-8");
  EXPECT_FALSE(ShiftJisMode());
}

TEST_F(Parser, CharsetChangesFieldSplittingFromTheNextLine) {
  // 0x95 0x5C is one Shift_JIS character whose second byte is a backslash.
  const std::string line = "\\k,\x95\\,b";
  ParseDictionary(Dic({line, "Option,Charset:UTF-8", line}));
  EXPECT_NE(WordOf("\\k", "\x95\\"), 0);
  EXPECT_NE(WordOf("\\k", "b"), 0);
  EXPECT_NE(WordOf("\\k", "\x95,b"), 0);  // now "\," is an escaped comma
}

TEST_F(Parser, FullSentenceTableDropsTalkEntriesWhole) {
  for (int i = 0; i < kSentenceCapacity; ++i) ASSERT_NE(AddSentence("s", TSentenceKind::FreeTalk, 0), 0);
  ParseDictionary(Dic({"\\e", "\\h\\s[0]body", "\\re,,r", "\\hl,,h", "\\ft,w,\\c,talk"}));
  EXPECT_EQ(SentenceCount, kSentenceCapacity);
  EXPECT_EQ(ReplyCount, 0);
  EXPECT_EQ(HelloCount, 0);
  const int w = WordOf("\\c", "w");
  ASSERT_NE(w, 0);
  EXPECT_EQ(WordTable[w].Sentence, 0);
  EXPECT_EQ(WordCount, 1);  // the body line was consumed, not read as a key
}

TEST_F(Parser, FullReplyTableLeavesSentencesAlone) {
  for (int i = 0; i < kReplyCapacity; ++i) ASSERT_NE(AddReply(AddSentence("s", TSentenceKind::Reply, 0), ""), 0);
  for (int i = 0; i < kHelloCapacity; ++i) ASSERT_NE(AddHello(AddSentence("s", TSentenceKind::Hello, 0), ""), 0);
  const int before = SentenceCount;
  ParseDictionary(Dic({"\\re,,r", "\\hl,,h", "\\e,free"}));
  EXPECT_EQ(SentenceCount, before + 1);
  EXPECT_EQ(SentenceTable[SentenceCount].Text, "free");
  EXPECT_EQ(ReplyCount, kReplyCapacity);
  EXPECT_EQ(HelloCount, kHelloCapacity);
}

}  // namespace
