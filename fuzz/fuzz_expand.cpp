// Fuzz target: ExpandTalk of one template over a small store that has
// categories sharing prefixes, numbered-tag bait, links, a word that holds
// its own tag, a word that opens a formula and a few variables.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

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
    "\\self,%self%self\r\n"
    "\\calc,%(1+%calc)\r\n"
    "\\ch,\\name,Taro,\\ms,apple\r\n"
    "\\ft,Jiro,\\name,Jiro talks.\\e\r\n"
    "\\e,%name eats %ms.\\e\r\n"
    "@OnFuzz,%(\\v := 1)\\e\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetConversationModule();
  std::error_code ignored;
  std::filesystem::remove(fuzz::ScratchDirectory() + "values.dat", ignored);
  ParseDictionary(std::string(kStore, sizeof kStore - 1));
  Assign("\\v", "\"quoted value\"");
  Assign("\\va", "%ms[a]");
  CurrentTalk.References[0] = "0";

  ExpandTalk(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
