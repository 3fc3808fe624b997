// The request handlers in the core: the teach variables, the reply lines,
// where markers are found, and what the external-request rule hands on.
#include <gtest/gtest.h>

#include <string>

#include "formula_values.h"
#include "formula_vars.h"
#include "nsdic.h"
#include "nsdic_parse.h"
#include "parse_handlers.h"
#include "random.h"
#include "shiori.h"

namespace {

constexpr char kAbsent[] = "<absent>";
const std::string kCharset = "Charset: Shift_JIS\r\n";
const std::string kEnd = "\r\n";  // the empty line that ends a message

std::string Var(const std::string& name) {
  const std::string* value = FindVariable(name);
  return value ? *value : kAbsent;
}

class Handlers : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetModule();
    SetRandomSeed(5);
  }
  // Parses dictionary lines (each ended here with CR LF).
  static void Dictionary(const std::string& lines) { ParseDictionary("\r\n" + lines); }
};

}  // namespace

TEST_F(Handlers, TeachFieldsBecomeVariablesUntilCleared) {
  Assign("\\hint1", "stale");
  EXPECT_EQ(ReadTeachFields("TEACH\r\nReference0: red\r\nReference3: green\r\n"), "green");
  EXPECT_EQ(Var("\\hint0"), "\"red\"");
  EXPECT_EQ(Var("\\hint1"), kAbsent);
  EXPECT_EQ(Var("\\hint3"), "\"green\"");
  EXPECT_EQ(Var("\\lastnum"), "3");
  EXPECT_EQ(Var("\\lasthint"), "\"green\"");
  EXPECT_EQ(Var("\\word"), "\"\"");

  // "Reference1: " is not found inside "Reference11: "; the word is kept as
  // written.
  EXPECT_EQ(ReadTeachFields("TEACH\r\nReference11: k\r\nWord: a.b\r\n"), "k");
  EXPECT_EQ(Var("\\hint1"), kAbsent);
  EXPECT_EQ(Var("\\hint11"), "\"k\"");
  EXPECT_EQ(Var("\\word"), "a.b");

  EXPECT_EQ(ReadTeachFields("TEACH\r\n"), "");
  EXPECT_EQ(Var("\\lastnum"), "\"\"");
  EXPECT_EQ(Var("\\lasthint"), "\"\"");
  ClearTeachVariables();
  EXPECT_EQ(VariableCount(), 0);
}

TEST_F(Handlers, ReplyLinesFollowTheAge) {
  Dictionary("\\re,,Yes.\\ns_ce and \\ns_ce\r\n");
  // Only the first "\ns_ce" goes, and with it the "Sender:" and "Age:" lines.
  EXPECT_EQ(CommunicateReply("hi", "Other", "3"), "Sentence: Yes. and \\ns_ce\\e");

  ResetModule();
  Dictionary("\\re,,Yes.\r\n");
  OwnerName = "Emma";
  // The next age is computed without wrapping around.
  EXPECT_EQ(CommunicateReply("hi", "Other", "2147483647"),
            "Sender: Emma\r\nAge: 2147483648\r\nSentence: Yes.\\e");
  EXPECT_EQ(CommunicateReply("hi", "Other", "3 years"), "Sentence: Yes.\\e");
  EXPECT_EQ(CommunicateReply("hi", "Other", ""), "Sentence: Yes.\\e");

  ResetModule();
  EXPECT_EQ(CommunicateReply("hi", "Other", "3"), "");
}

// Markers are found at character starts: behind a lead byte the backslash
// is the second byte of a double-byte character. "\ns_ce" is a plain search.
TEST_F(Handlers, MarkersAreSearchedCharacterAware) {
  Dictionary(
      "@OnTeach,\x81\\[success]\r\n"
      "@OnExternalRequest,\x81\\[deny]\r\n"
      "@OnBoot,ok\r\n"
      "\\re,,\x81\\ns_ce\r\n");
  EXPECT_EQ(HandleRequest("TEACH SHIORI/2.5\r\n"),
            "SHIORI/2.5 200 OK\r\nSentence: \x81\\[success]\r\n" + kCharset + kEnd);
  EXPECT_EQ(HandleRequest("GET Sentence SHIORI/2.5\r\nSecurityLevel: external\r\nEvent: OnBoot\r\n"),
            "SHIORI/2.5 200 OK\r\nSentence: ok\\e\r\n" + kCharset + kEnd);
  EXPECT_EQ(HandleRequest("GET Sentence SHIORI/2.5\r\nSentence: hi\r\nAge: 1\r\n"),
            "SHIORI/2.5 200 OK\r\nSentence: \x81\\e\r\n" + kCharset + kEnd);
}

TEST_F(Handlers, ExternalRuleHandsTheRequestToItsEvent) {
  Dictionary("@OnExternalRequest,%ref0|%ref1|%ref2\\[deny]\r\n");
  TReferences references;
  references.Reference2 = "left over";
  std::string response;
  const std::string request = "GET Word SHIORI/2.5\r\nEvent: Ask\r\nReference2: two\r\n";
  EXPECT_FALSE(ExternalRequestRule(request, "local", "host", references, response));
  EXPECT_EQ(response, "");
  EXPECT_TRUE(ExternalRequestRule(request, "external", "host", references, response));
  EXPECT_EQ(response,
            "SHIORI/2.5 200 OK\r\nSentence: Ask|GET Word SHIORI/2.5\x02"
            "Event: Ask\x02Reference2: two\x02|\r\n" + kCharset);
  EXPECT_EQ(CurrentTalk.Sender, "host");
}

// A served external request fills the references from its own headers.
TEST_F(Handlers, ServedExternalRequestUsesItsOwnReferences) {
  Dictionary(
      "@OnExternalRequest,%(\\seen := \"%ref0\")\r\n"
      "@OnBoot,[%ref0][%ref1]\r\n");
  EXPECT_EQ(HandleRequest("GET Sentence SHIORI/2.5\r\nSecurityLevel: external\r\n"
                          "Event: OnBoot\r\nReference1: one\r\n"),
            "SHIORI/2.5 200 OK\r\nSentence: [][one]\\e\r\n" + kCharset + kEnd);
  EXPECT_EQ(Var("\\seen"), "\"OnBoot\"");
}
