// The host layer itself: what it says when a library cannot serve, and the
// block rules it checks in the answers. The fake modules below fill the
// same struct a linked-in core would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "ghost_host.h"

namespace {

// A request export that frees the host's block, as the contract says, and
// answers with a block of exactly the bytes of `g_answer` (no block when it
// is empty), writing back `g_answer_length`.
std::string g_answer;
long g_answer_length = 0;

char* FakeRequest(char* block, long* length) {
  std::free(block);
  *length = g_answer_length;
  if (g_answer.empty()) return nullptr;
  char* answer = static_cast<char*>(std::malloc(g_answer.size()));
  std::memcpy(answer, g_answer.data(), g_answer.size());
  return answer;
}

TResponseBlock AskFake(const std::string& answer, long length) {
  g_answer = answer;
  g_answer_length = length;
  TShioriLibrary library;
  library.request = FakeRequest;
  return library.Request("GET Version SHIORI/2.5\r\n\r\n");
}

}  // namespace

TEST(HostLayer, OpeningSaysWhatIsMissing) {
  TShioriLibrary shiori;
  TMakotoLibrary makoto;
  std::string error;
  EXPECT_FALSE(OpenShiori("", shiori, error));
  EXPECT_EQ(error, "no library path given");
  EXPECT_FALSE(OpenShiori("/nonexistent/libshiori.so", shiori, error));
  EXPECT_EQ(error.rfind("cannot load /nonexistent/libshiori.so: ", 0), 0u) << error;
  // The conversation library lacks the translation module's execute;
  // nothing stays open.
  EXPECT_FALSE(OpenMakoto(GHOST_SHIORI_LIBRARY, makoto, error));
  EXPECT_EQ(error, std::string(GHOST_SHIORI_LIBRARY) + " does not export execute");
  EXPECT_EQ(makoto.handle, nullptr);
  EXPECT_EQ(makoto.load, nullptr);

  ASSERT_TRUE(OpenShiori(GHOST_SHIORI_LIBRARY, shiori, error)) << error;
  EXPECT_NE(shiori.request, nullptr);
  CloseShiori(shiori);
  EXPECT_EQ(shiori.handle, nullptr);
  EXPECT_EQ(shiori.request, nullptr);
}

TEST(HostLayer, AnswersAreCheckedAgainstTheBlockRules) {
  const TResponseBlock good = AskFake(std::string("abc\0", 4), 3);
  EXPECT_EQ(good.text, "abc");
  EXPECT_TRUE(good.nul_ended);
  EXPECT_EQ(RequestProblem(good), "");

  const TResponseBlock unterminated = AskFake("abcd", 3);
  EXPECT_EQ(unterminated.text, "abc");
  EXPECT_FALSE(unterminated.nul_ended);
  EXPECT_EQ(RequestProblem(unterminated), "no NUL after the 3 bytes of the response block");

  EXPECT_EQ(RequestProblem(AskFake("", 3)), "no response block");
  EXPECT_EQ(RequestProblem(AskFake("abc", -2)), "negative response length -2");
}
