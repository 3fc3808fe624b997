// The answers of the benchmark ghost (written by bench/gen-ghost at test time,
// GHOST_DIGEST_GHOST names its folder) to a fixed request sequence, with a
// fixed seed and clock, hashed and compared with a digest taken before the
// fast paths of load, conditions, expansion and word search existed: any
// byte those paths change in any answer changes the digest.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "formula_vars.h"
#include "random.h"
#include "shiori.h"

namespace {

// The digest of the sequence below; computed on the step-by-step code.
constexpr uint64_t kExpectedDigest = 0xa21d9a0c955bbe60ull;
constexpr int kRequests = 1500;

std::string Request(const std::string& line,
                    const std::vector<std::pair<std::string, std::string>>& headers) {
  std::string text = line + " SHIORI/2.5\r\nSender: digest\r\n";
  for (const auto& [name, value] : headers) text += name + ": " + value + "\r\n";
  return text + "\r\n";
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Events with references, random talk, words by type, by sentence (the
// 2 KiB one too) and their talks, replies, strings, status and teaching.
std::vector<std::string> Deck(const std::string& ghost) {
  std::vector<std::string> deck;
  const char* events[] = {"OnMouseDoubleClick", "OnSecondChange", "OnMinuteChange", "OnBoot",
                          "OnMouseClick", "OnUserEvent000", "OnUserEvent077", "OnBenchCounts"};
  for (const char* e : events) {
    for (const char* ref0 : {"0", "1", "7"}) {
      deck.push_back(Request("GET Sentence", {{"Event", e}, {"Reference0", ref0},
                                              {"Reference1", ref0[0] == '0' ? "0" : "2"},
                                              {"Reference2", ref0[0] == '1' ? "head" : "face"}}));
    }
  }
  for (int i = 0; i < 12; ++i) deck.push_back(Request("GET Sentence", {}));
  for (const char* type : {"\\m?", "\\mthing", "\\mw001", "\\cat010", "\\dms", "\\[t03]"}) {
    deck.push_back(Request("GET Word", {{"Type", type}}));
  }
  std::string sentence = ReadAll(ghost + "bench_sentence.txt");
  deck.push_back(Request("GET Word", {{"Sentence", sentence}}));
  std::istringstream words(ReadAll(ghost + "bench_words.txt"));
  std::string said;
  for (std::string w; std::getline(words, w);) {
    if (!w.empty() && w.back() == '\r') w.pop_back();
    if (w.empty()) continue;
    deck.push_back(Request("GET Sentence", {{"Word", w}}));
    said += w + " and ";
  }
  deck.push_back(Request("GET Word", {{"Sentence", said}}));
  deck.push_back(Request("GET Sentence", {{"Sentence", said}, {"Age", "2"}}));
  deck.push_back(Request("GET Status", {}));
  for (const char* id : {"string00", "string07", "recommendsites"}) {
    deck.push_back(Request("GET String", {{"ID", id}}));
  }
  deck.push_back(Request("TEACH", {{"Word", "apple"}, {"Reference0", "apple"}}));
  return deck;
}

uint64_t Fnv1a(uint64_t hash, const std::string& bytes) {
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ull;
  return hash;
}

TEST(Digest, BenchmarkGhostAnswersAsBefore) {
  const char* dir = std::getenv("GHOST_DIGEST_GHOST");
  ASSERT_NE(dir, nullptr) << "GHOST_DIGEST_GHOST names the ghost gen-ghost wrote";
  const std::string ghost = std::string(dir) + "/";
  ResetModule();
  const TClockReading noon{2024, 5, 17, 12, 30, 15, 5};
  SetClockOverride(&noon);
  SetRandomSeed(20240517);
  ShioriLoad(ghost);
  const std::vector<std::string> deck = Deck(ghost);
  ASSERT_GT(deck.size(), 60u);
  uint64_t hash = 0xcbf29ce484222325ull;
  uint32_t pick = 7;
  int talks = 0;
  for (int i = 0; i < kRequests; ++i) {
    pick = pick * 1103515245u + 12345u;
    const std::string answer = ShioriRequest(deck[(pick >> 8) % deck.size()]);
    talks += answer.rfind("SHIORI/2.5 200 OK", 0) == 0;
    hash = Fnv1a(hash, answer);
  }
  ShioriUnload();
  ResetModule();
  EXPECT_GT(talks, kRequests / 2);
  char shown[32];
  std::snprintf(shown, sizeof shown, "0x%016llx", static_cast<unsigned long long>(hash));
  EXPECT_EQ(hash, kExpectedDigest) << "digest of the answers: " << shown;
}

}  // namespace
