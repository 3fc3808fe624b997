// Fuzz target: ExpandTalk of one template over a small store that has
// categories sharing prefixes, numbered-tag bait, links, a word that opens a
// formula with its own tag and a few variables. (A word that doubles its own
// tag takes every expansion to the 1 MiB limit, which would slow this target
// down a hundredfold; the dictionary target's seeds carry one.)
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "formula_vars.h"
#include "fuzz_support.h"
#include "nsdic_expand.h"
#include "nsdic_parse.h"

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

// The store as parsed from the start state: expansion changes cool-downs,
// variables and (through "_registword") the words, so every input gets a
// fresh one.
void LoadStore() {
  fuzz::ResetConversationModule();
  ParseDictionary(std::string(kStore, sizeof kStore - 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LoadStore();
  std::error_code ignored;
  std::filesystem::remove(fuzz::ScratchDirectory() + "values.dat", ignored);
  Assign("\\v", "\"quoted value\"");
  Assign("\\va", "%ms[a]");
  CurrentTalk.References[0] = "0";

  ExpandTalk(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
