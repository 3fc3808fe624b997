// Fuzz target: ExpandTalk of one template over a small store that has
// categories sharing prefixes, numbered-tag bait, links, a word that opens a
// formula with its own tag and a few variables. (A word that doubles its own
// tag takes every expansion to the 1 MiB limit, which would slow this target
// down a hundredfold; the dictionary target's seeds carry one.)
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "nsdic_parse.h"
#include "nsdic_talk.h"

namespace {

const char kStore[] =
    "\r\n"
    "\\ms,apple,pear\r\n"
    "\\ms[a],plum,fig,kiwi\r\n"
    "\\mz[b],stone\r\n"
    "\\m,moon\r\n"
    "\\dms,today\r\n"
    "\\name,Taro,Jiro\r\n"
    "\\calc,%(1+%calc)\r\n"
    "\\ch,\\name,Taro,\\ms,apple\r\n"
    "\\ft,Jiro,\\name,Jiro talks.\\e\r\n"
    "\\e,%name eats %ms.\\e\r\n"
    "@OnFuzz,%(\\v := 1)\\e\r\n";

int g_words = 0;
std::vector<int32_t> g_word_cool_downs, g_sentence_cool_downs;

// The store as parsed, its cool-downs remembered.
void LoadStore() {
  fuzz::ResetConversationModule();
  ParseDictionary(std::string(kStore, sizeof kStore - 1));
  g_words = WordCount;
  g_word_cool_downs.assign(WordCount + 1, 0);
  for (int i = 1; i <= WordCount; ++i) g_word_cool_downs[i] = WordTable[i].CoolDown;
  g_sentence_cool_downs.assign(SentenceCount + 1, 0);
  for (int i = 1; i <= SentenceCount; ++i) g_sentence_cool_downs[i] = SentenceTable[i].CoolDown;
}

// Back to the parsed store: expansion changes only cool-downs, variables and
// (through "_registword") the words; parsing again only for new words.
void RestoreStore() {
  if (WordCount != g_words) LoadStore();
  for (int i = 1; i <= WordCount; ++i) WordTable[i].CoolDown = g_word_cool_downs[i];
  for (int i = 1; i <= SentenceCount; ++i) SentenceTable[i].CoolDown = g_sentence_cool_downs[i];
  ResetFormula();
  SetRandomSeed(0x2545F491u);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  LoadStore();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RestoreStore();
  std::error_code ignored;
  std::filesystem::remove(fuzz::ScratchDirectory() + "values.dat", ignored);
  Assign("\\v", "\"quoted value\"");
  Assign("\\va", "%ms[a]");
  CurrentTalk.References[0] = "0";

  ExpandTalk(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
