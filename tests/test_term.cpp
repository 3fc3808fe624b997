// The terminal host's own units: talk scripts split into two speakers,
// responses read into status and headers, bytes made visible, charset
// conversion for display and typing, and the requests its commands send.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "charset/iconv_charset.h"
#include "term/term_render.h"
#include "term/term_requests.h"

namespace {

std::string Speeches(const std::string& script) {
  std::string out;
  for (const TSpeech& speech : SplitSpeakers(script)) {
    out += std::string(1, speech.speaker) + ":" + speech.text + ";";
  }
  return out;
}

// Shift_JIS bytes of "ソ表" (both end in 0x5C) and their UTF-8 form.
const std::string kSjisSoHyo = "\x83\x5C\x95\x5C";
const std::string kUtf8SoHyo = "\xE3\x82\xBD\xE8\xA1\xA8";

}  // namespace

TEST(TermSpeakers, ScopeTagsMakeTwoSpeakersAndOtherTagsGo) {
  EXPECT_EQ(Speeches("\\h\\s[0]Hello.\\w8\\u\\s[10]Hoo.\\e"), "h:Hello.;u:Hoo.;");
  // A talk starts with the main character; switching back continues her.
  EXPECT_EQ(Speeches("One\\u\\s1Two\\hThree"), "h:One;u:Two;h:Three;");
  // Consecutive stretches of one speaker join; an empty stretch is dropped.
  EXPECT_EQ(Speeches("\\u \\h\\s[1]A\\h\\n\\hB"), "h:A\nB;");
  // Text after the end of the script is not shown.
  EXPECT_EQ(Speeches("\\hA\\eB\\uC"), "h:A;");
  EXPECT_EQ(Speeches("\\h\\\\n is a tag\\q[Yes,OnYes] or\\_w[100] not\\"),
            "h:\\n is a tag[Yes] or not\\;");
  EXPECT_EQ(Speeches("\\hline\\n[half]next\\n"), "h:line\nnext;");
  EXPECT_TRUE(SplitSpeakers("\\h\\s[0]\\u\\s[10]\\e").empty());
}

TEST(TermSpeakers, DoubleByteBackslashesAreCharactersAfterConversion) {
  const std::string script = "\\h" + kSjisSoHyo + "u\\u" + kSjisSoHyo + "h";
  EXPECT_EQ(Speeches(ToUtf8(script, "Shift_JIS")),
            "h:" + kUtf8SoHyo + "u;u:" + kUtf8SoHyo + "h;");
}

TEST(TermResponse, StatusHeadersAndContinuedValues) {
  const TResponse talk = ParseResponse(
      "SHIORI/2.5 200 OK\r\nSender: \r\nAge: 4\r\nSentence: \\hHi\\e\r\nCharset: Shift_JIS\r\n");
  EXPECT_EQ(talk.status, "200 OK");
  ASSERT_EQ(talk.headers.size(), 4u);
  EXPECT_EQ(talk.headers[0].name, "Sender");
  EXPECT_EQ(talk.headers[0].value, "");
  EXPECT_EQ(ResponseHeader(talk, "Sentence"), "\\hHi\\e");
  EXPECT_EQ(ResponseHeader(talk, "Charset"), "Shift_JIS");
  EXPECT_EQ(ResponseHeader(talk, "To"), "");

  // A word list: lines that are no header continue the value.
  const TResponse words =
      ParseResponse("SHIORI/2.5 200 OK\r\nWord: gear,\\part\r\noil can,\\tool\r\n\r\n");
  ASSERT_EQ(words.headers.size(), 1u);
  EXPECT_EQ(words.headers[0].value, "gear,\\part\noil can,\\tool");

  EXPECT_EQ(ParseResponse("SHIORI/2.5 400 Bad Request\r\n").status, "400 Bad Request");
  EXPECT_TRUE(ParseResponse("").headers.empty());
}

TEST(TermVisible, ControlBytesAndLineEnds) {
  EXPECT_EQ(VisibleBytes("A\r\nB\x01\x7F\x83\x5C"), "A<CR><LF>\nB<01><7F>\x83\x5C");
  EXPECT_EQ(VisibleControls("a\x01" "b\x02\nc\t"), "a<01>b<02>\nc<09>");
}

TEST(TermCharset, DisplayAndTypingConversion) {
  EXPECT_EQ(IconvCharsetName("Shift_JIS"), "CP932");
  EXPECT_EQ(IconvCharsetName("EUC-JP"), "EUC-JP");
  // The tag backslash stays a backslash, not a yen sign.
  EXPECT_EQ(ToUtf8("\\h" + kSjisSoHyo, "Shift_JIS"), "\\h" + kUtf8SoHyo);
  // A byte that is no character is shown, and conversion goes on after it.
  EXPECT_EQ(ToUtf8("a\x80" "b" + kSjisSoHyo, "Shift_JIS"), "a<80>b" + kUtf8SoHyo);
  EXPECT_EQ(ToUtf8("a\x83", "Shift_JIS"), "a<83>");
  // An unknown charset leaves the bytes alone.
  EXPECT_FALSE(KnownCharset("no-such-charset"));
  EXPECT_EQ(ToUtf8("\x83\x5C", "no-such-charset"), "\x83\x5C");

  std::string typed;
  ASSERT_TRUE(FromUtf8("x" + kUtf8SoHyo, "Shift_JIS", typed));
  EXPECT_EQ(typed, "x" + kSjisSoHyo);
  EXPECT_FALSE(FromUtf8("\xF0\x9F\x98\x80", "Shift_JIS", typed));  // no such character
  EXPECT_EQ(typed, "");
  EXPECT_FALSE(FromUtf8("abc", "no-such-charset", typed));
}

TEST(TermWords, QuotesGroupWordsAndFreeTextKeepsItsBlanks) {
  EXPECT_EQ(SplitWords("  teach snack \"apple pie\"  x\"y z\" "),
            (std::vector<std::string>{"teach", "snack", "apple pie", "xy z"}));
  EXPECT_EQ(SplitWords("a \"open quote"), (std::vector<std::string>{"a", "open quote"}));
  EXPECT_TRUE(SplitWords(" \t ").empty());
  EXPECT_EQ(TextAfterWords("reply Kuro 3  my  clock broke ", 3), "my  clock broke");
  EXPECT_EQ(TextAfterWords("owner \"Mirai\" and Bolt", 2), "and Bolt");
  EXPECT_EQ(TextAfterWords("talk", 1), "");
  EXPECT_EQ(TextAfterWords(" Kuro ", 0), "Kuro");
}

TEST(TermRequests, EachCommandSendsItsRequest) {
  const std::string head = "Sender: shiori-term\r\nSecurityLevel: local\r\n";
  EXPECT_EQ(EventRequest("OnMouseDoubleClick", {"0", "head"}, false),
            "GET Sentence SHIORI/2.5\r\n" + head +
                "Event: OnMouseDoubleClick\r\nReference0: 0\r\nReference1: head\r\n\r\n");
  EXPECT_EQ(EventRequest("OnX", {}, true, "Self"),
            "GET Sentence SHIORI/2.5\r\nSender: Self\r\nSecurityLevel: external\r\n"
            "Event: OnX\r\n\r\n");
  // An event has eight references at most, a TEACH sixteen.
  const std::vector<std::string> many(20, "r");
  EXPECT_EQ(EventRequest("OnX", many, false).find("Reference8"), std::string::npos);
  EXPECT_NE(EventRequest("OnX", many, false).find("Reference7: r"), std::string::npos);
  EXPECT_NE(TeachRequest(many).find("Reference15: r\r\n\r\n"), std::string::npos);
  EXPECT_EQ(TeachRequest(many).find("Reference16"), std::string::npos);

  EXPECT_EQ(TalkRequest(""), "GET Sentence SHIORI/2.5\r\n" + head + "\r\n");
  EXPECT_EQ(TalkRequest("pocket watch"),
            "GET Sentence SHIORI/2.5\r\n" + head + "Word: pocket watch\r\n\r\n");
  EXPECT_EQ(ReplyRequest("Kuro", "3", "my clock"),
            "GET Sentence SHIORI/2.5\r\nSender: Kuro\r\nSecurityLevel: local\r\n"
            "Age: 3\r\nSentence: my clock\r\n\r\n");
  EXPECT_EQ(ReplyRequest("Kuro", "", "hi").find("Age"), std::string::npos);
  EXPECT_EQ(WordRequest("\\tool"), "GET Word SHIORI/2.5\r\n" + head + "Type: \\tool\r\n\r\n");
  EXPECT_EQ(WordsRequest("a b"), "GET Word SHIORI/2.5\r\n" + head + "Sentence: a b\r\n\r\n");
  EXPECT_EQ(StatusRequest(), "GET Status SHIORI/2.5\r\n" + head + "\r\n");
  EXPECT_EQ(StringRequest("motto"), "GET String SHIORI/2.5\r\n" + head + "ID: motto\r\n\r\n");
  EXPECT_EQ(VersionRequest(), "GET Version SHIORI/2.5\r\n" + head + "\r\n");
  EXPECT_EQ(OwnerRequest("Mirai"),
            "NOTIFY OwnerGhostName SHIORI/2.5\r\n" + head + "Ghost: Mirai\r\n\r\n");
  EXPECT_EQ(OthersRequest({"Kuro", "Pip"}),
            "NOTIFY OtherGhostName SHIORI/2.5\r\n" + head + "Ghost: Kuro\r\nGhost: Pip\r\n\r\n");
  EXPECT_EQ(RawRequest({"GET Version SHIORI/2.5", "Sender: me"}),
            "GET Version SHIORI/2.5\r\nSender: me\r\n\r\n");
}
