// Requests: request line, header values, references, the request-type table
// and the responses the frame writes itself.
#include <gtest/gtest.h>

#include <random>

#include "formula_search.h"
#include "parse.h"
#include "parse_handlers.h"
#include "shiori.h"

namespace {

// Whole messages, each ended by its empty line.
const std::string kVersionOk = "SHIORI/2.5 200 OK\r\nCharset: Shift_JIS\r\n\r\n";
const std::string kBadRequest = "SHIORI/2.5 400 Bad Request\r\n\r\n";

}  // namespace

TEST(RequestLine, IsTheTrimmedFirstLine) {
  EXPECT_EQ(RequestLine(" \tGET Version SHIORI/2.5 \r\nSender: a\r\n"),
            "GET Version SHIORI/2.5");
  EXPECT_EQ(RequestLine("GET Word SHIORI/2.5"), "GET Word SHIORI/2.5");
  EXPECT_EQ(RequestLine("GET Word\nSender: a\r\n"), "GET Word\nSender: a");
  EXPECT_EQ(RequestLine(""), "");
}

// The one search for every reference against one HeaderValue each, on
// random requests full of near-misses ("Reference8", "Reference0:", no CR LF).
TEST(HeaderValue, ReferencesInOnePassMatchOneSearchEach) {
  std::mt19937 rng(8);
  const char* pieces[] = {"Reference", "0", "1", "7", "8", ": ", ":", " ", "x", "\r\n",
                          "ReferenceReference", "Reference0: ", "Reference7: v"};
  int found = 0;
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    for (int n = static_cast<int>(rng() % 30); n > 0; --n) text += pieces[rng() % std::size(pieces)];
    TReferences quick, stepwise;
    quick[3] = "stale";
    ReadReferences(text, quick);
    ReadReferencesStepwise(text, stepwise);
    for (int i = 0; i < kReferenceCount; ++i) {
      ASSERT_EQ(quick[i], stepwise[i]) << i << " in " << text;
      found += !stepwise[i].empty();
    }
  }
  EXPECT_GT(found, 500);
}

TEST(HeaderValue, LastOccurrenceWins) {
  EXPECT_EQ(HeaderValue("GET Sentence\r\nEvent: a\r\nEvent: b\r\n", "Event"), "b");
  // The key also matches at the end of a longer header name...
  EXPECT_EQ(HeaderValue("GET Sentence\r\nEvent: a\r\nXEvent: b\r\n", "Event"), "b");
  // ...and inside another header's value.
  EXPECT_EQ(HeaderValue("Event: a\r\nWord: Event: c\r\n", "Event"), "c");
  EXPECT_EQ(HeaderValue("ID: ID: x\r\n", "ID"), "x");
  // A name holding a colon is looked for as plain text too.
  EXPECT_EQ(HeaderValue("A: B: x\r\nA: B: y\r\n", "A: B"), "y");
}

TEST(HeaderValue, ValueBoundaries) {
  EXPECT_EQ(HeaderValue("GET Sentence\r\nEvent: OnBoot", "Event"), "OnBoot");
  EXPECT_EQ(HeaderValue("Event:  two\r\n", "Event"), " two");
  EXPECT_EQ(HeaderValue("Event:none\r\n", "Event"), "");
  EXPECT_EQ(HeaderValue("Event: \r\nSender: s\r\n", "Event"), "");
  EXPECT_EQ(HeaderValue("Event: ", "Event"), "");
  EXPECT_EQ(HeaderValue("Sender: s\r\n", "Event"), "");
  EXPECT_EQ(HeaderValue("event: lower\r\n", "Event"), "");
  EXPECT_EQ(HeaderValue("Reference10: ten\r\n", "Reference1"), "");
  EXPECT_EQ(HeaderValue("Word: a\nb\r\n", "Word"), "a\nb");
}

TEST(HeaderValues, CollectsEveryTerminatedValue) {
  EXPECT_EQ(HeaderValues("NOTIFY x\r\nGhost: a\r\nGhost: b\r\n", "Ghost"), "a\x02" "b\x02");
  // A last value without CR LF is dropped.
  EXPECT_EQ(HeaderValues("Ghost: a\r\nGhost: b", "Ghost"), "a\x02");
  EXPECT_EQ(HeaderValues("Ghost: a", "Ghost"), "");
  // The colon is part of the key: "Ghost" and "GhostEx" do not mix.
  EXPECT_EQ(HeaderValues("GhostEx: x\r\nGhost: a\r\n", "Ghost"), "a\x02");
  EXPECT_EQ(HeaderValues("GhostEx: x\r\nGhost: a\r\n", "GhostEx"), "x\x02");
  // The byte after the colon is skipped whatever it is.
  EXPECT_EQ(HeaderValues("Ghost:xab\r\n", "Ghost"), "ab\x02");
  EXPECT_EQ(HeaderValues("Ghost:  a\r\n", "Ghost"), " a\x02");
  EXPECT_EQ(HeaderValues("Sender: s\r\n", "Ghost"), "");
  // The key right at the end leaves no room for a value.
  EXPECT_EQ(HeaderValues("x Ghost:", "Ghost"), "");
}

TEST(References, ReadAndClear) {
  const std::string request =
      "GET Sentence SHIORI/2.5\r\nEvent: OnTest\r\nReference0: zero\r\n"
      "Reference10: ten\r\nReference7: seven\r\nReference3: three";
  TReferences refs;
  refs.Reference1 = "stale";
  ReadReferences(request, refs);
  EXPECT_EQ(refs.Reference0, "zero");
  EXPECT_EQ(refs.Reference1, "");  // not found inside "Reference10: "
  EXPECT_EQ(refs.Reference3, "three");
  EXPECT_EQ(refs.Reference7, "seven");
  EXPECT_EQ(refs.Reference2 + refs.Reference4 + refs.Reference5 + refs.Reference6, "");

  ClearReferences(refs);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(refs[i], "") << "Reference" << i;
}

TEST(RequestTypes, OrderAndTrailingBlanks) {
  EXPECT_EQ(RequestTypeOf("GET Sentence SHIORI/2.5"), 1);
  EXPECT_EQ(RequestTypeOf("GET SentenceX SHIORI/2.5"), 1);
  EXPECT_EQ(RequestTypeOf("GET Word"), 2);
  EXPECT_EQ(RequestTypeOf("GET Words SHIORI/2.5"), 2);
  EXPECT_EQ(RequestTypeOf("GET Status SHIORI/2.5"), 3);
  EXPECT_EQ(RequestTypeOf("NOTIFY OwnerGhostName SHIORI/2.5"), 4);
  EXPECT_EQ(RequestTypeOf("GET Version SHIORI/2.5"), 5);
  EXPECT_EQ(RequestTypeOf("TEACH SHIORI/2.4"), 6);
  EXPECT_EQ(RequestTypeOf("GET String SHIORI/2.5"), 7);

  EXPECT_EQ(RequestTypeOf("GET Status"), 0);
  EXPECT_EQ(RequestTypeOf("GET Version"), 0);
  EXPECT_EQ(RequestTypeOf("GET Statuses"), 0);
  EXPECT_EQ(RequestTypeOf("NOTIFY"), 0);
  EXPECT_EQ(RequestTypeOf("get version SHIORI/2.5"), 0);
  EXPECT_EQ(RequestTypeOf(" GET Version SHIORI/2.5"), 0);
  EXPECT_EQ(RequestTypeOf(""), 0);
}

TEST(Responses, LayoutRules) {
  EXPECT_EQ(StatusResponse(kStatusAdvice), "SHIORI/2.5 312 Advice\r\n");
  EXPECT_EQ(HeaderLine("Word", "apple"), "Word: apple\r\n");
  EXPECT_EQ(TalkResponse("*"), "SHIORI/2.5 400 Bad Request\r\n");
  EXPECT_EQ(TalkResponse(""), "SHIORI/2.5 204 No Content\r\n");
  EXPECT_EQ(TalkResponse("Sentence: hi\\e"),
            "SHIORI/2.5 200 OK\r\nSentence: hi\\e\r\nCharset: Shift_JIS\r\n");
  // Only the exact one-byte "*" means "cannot serve".
  EXPECT_EQ(TalkResponse("**"), "SHIORI/2.5 200 OK\r\n**\r\nCharset: Shift_JIS\r\n");
}

TEST(HandleRequest, AnswersVersion) {
  EXPECT_EQ(HandleRequest("GET Version SHIORI/2.5\r\nSender: host\r\n\r\n"), kVersionOk);
  EXPECT_EQ(HandleRequest("  GET Version SHIORI/2.5"), kVersionOk);
  EXPECT_EQ(HandleRequest("GET Version SHIORI/3.0\r\n"), kVersionOk);
  // The versions hosts send: the type is matched by its prefix, the answer
  // keeps its own version.
  for (const char* version : {"2.0", "2.2", "2.3", "2.4", "2.6"}) {
    EXPECT_EQ(HandleRequest(std::string("GET Version SHIORI/") + version + "\r\n"), kVersionOk);
  }
}

// One closing empty line, not two, after word lines that end with their own.
TEST(HandleRequest, EveryMessageEndsWithOneEmptyLine) {
  EXPECT_EQ(WithClosingLine("SHIORI/2.5 204 No Content\r\n"), "SHIORI/2.5 204 No Content\r\n\r\n");
  EXPECT_EQ(WithClosingLine("SHIORI/2.5 200 OK\r\nWord: a,\\b\r\n\r\n"),
            "SHIORI/2.5 200 OK\r\nWord: a,\\b\r\n\r\n");
  EXPECT_EQ(WithClosingLine("\n"), "\n\r\n");
}

TEST(HandleRequest, RejectsWhatNoTypeServes) {
  EXPECT_EQ(HandleRequest("GET Status\r\nSender: host\r\n"), kBadRequest);
  // The request line is trimmed, so a bare trailing blank does not count.
  EXPECT_EQ(HandleRequest("GET Version \r\n"), kBadRequest);
  EXPECT_EQ(HandleRequest("GET Vers SHIORI/2.5\r\n"), kBadRequest);
  EXPECT_EQ(HandleRequest("HELLO\r\nEvent: OnBoot\r\n"), kBadRequest);
  EXPECT_EQ(HandleRequest(""), kBadRequest);
  EXPECT_EQ(HandleRequest("\r\nGET Version SHIORI/2.5\r\n"), kBadRequest);
}

TEST(HandleRequest, VersionCarriesTheCurrentCharset) {
  SetCharset("EUC-JP");
  EXPECT_EQ(HandleRequest("GET Version SHIORI/2.5\r\n"),
            "SHIORI/2.5 200 OK\r\nCharset: EUC-JP\r\n\r\n");
  EXPECT_FALSE(ShiftJisMode());
  ResetModule();
  EXPECT_EQ(HandleRequest("GET Version SHIORI/2.5\r\n"), kVersionOk);
}
